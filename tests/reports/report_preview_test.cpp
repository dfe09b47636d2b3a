// The preview window: pages, paging, zoom and printing from it through the
// installed back end.
#include "platform/report/reportpreview.h"
#include "platform/widgets/dialogs.h"
#include "reports/forms.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace report;

namespace {

PrintJob twoPages()
{
    PrintJob job;
    ReportForm half = reports::frmnomreportDesign();
    half.setCaption("QRLabel1", "示例医院检验报告单");
    job.pages = {resolve(half, recordFromMap({{"name", "张三"}})), resolve(reports::a5ReportDesign(), emptyRecord())};
    job.title = "preview";
    return job;
}

} // namespace

TEST(ReportPreview, PagesThroughPrintsAndShowsPrinterErrors)
{
    reports::installFontSubstitutions();
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path());
    setPrinterBackend(pdf);
    QStringList shown;
    dlg::setResponder([&](const dlg::Request &r) { return shown << r.text, dlg::Reply{}; });
    const auto ends = qScopeGuard([] {
        setPrinterBackend(nullptr);
        dlg::setResponder(nullptr);
    });

    ReportPreviewDialog dialog(twoPages());
    auto *pageLabel = dialog.findChild<QLabel *>("pageLabel"), *view = dialog.findChild<QLabel *>("pageView");
    auto *next = dialog.findChild<QPushButton *>("nextButton"), *prev = dialog.findChild<QPushButton *>("prevButton");
    auto *zoom = dialog.findChild<QComboBox *>("zoomBox");
    ASSERT_TRUE(pageLabel && view && next && prev && zoom);

    // Page label, page picture size, back and forward enabled, zoom.
    const auto state = [&] {
        const QSize px = view->pixmap().size();
        return QString("%1 %2x%3 %4%5 %6").arg(pageLabel->text()).arg(px.width()).arg(px.height())
            .arg(prev->isEnabled()).arg(next->isEnabled()).arg(dialog.zoomPercent());
    };
    // 210 x 148.5 mm at 96 per inch, then 182 x 257 mm, then that at half size.
    EXPECT_EQ(state(), "第 1 页，共 2 页 794x561 01 100");
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(state(), "第 2 页，共 2 页 688x971 10 100");
    zoom->setCurrentText("50%");
    EXPECT_EQ(state(), "第 2 页，共 2 页 344x486 10 50");

    QTest::mouseClick(dialog.findChild<QPushButton *>("printButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog.printed());
    ASSERT_EQ(pdf->jobs().size(), 1u);
    EXPECT_EQ(pdf->jobs()[0].pageCount, 2);

    // A printer error is shown, not swallowed.
    PrintJob job = twoPages();
    job.printerIndex = 1;   // one past the one printer installed
    ReportPreviewDialog failing(job);
    QTest::mouseClick(failing.findChild<QPushButton *>("printButton"), Qt::LeftButton);
    EXPECT_FALSE(failing.printed());
    EXPECT_TRUE(shown.size() == 1 && shown[0].contains("打印机")) << shown.join('|').toStdString();
    EXPECT_EQ(pdf->jobs().size(), 1u);
}
