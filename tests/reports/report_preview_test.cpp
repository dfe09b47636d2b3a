// The preview window: pages, paging, zoom and printing from it through the
// installed back end.
#include "platform/report/reportpreview.h"
#include "platform/widgets/dialogs.h"
#include "reports/forms.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace report;

namespace {

class ReportPreview : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void TearDown() override
    {
        setPrinterBackend(nullptr);
        dlg::setResponder(nullptr);
    }
};

PrintJob twoPages()
{
    PrintJob job;
    ReportForm half = reports::frmnomreportDesign();
    half.setCaption(QStringLiteral("QRLabel1"), QStringLiteral("示例医院检验报告单"));
    job.pages.push_back(resolve(half, recordFromMap({{QStringLiteral("name"), QStringLiteral("张三")}})));
    job.pages.push_back(resolve(reports::a5ReportDesign(), emptyRecord()));
    job.title = QStringLiteral("preview");
    return job;
}

} // namespace

TEST_F(ReportPreview, PagesThroughPrintsAndShowsPrinterErrors)
{
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path());
    setPrinterBackend(pdf);

    ReportPreviewDialog dialog(twoPages());
    auto *pageLabel = dialog.findChild<QLabel *>(QStringLiteral("pageLabel")), *view = dialog.findChild<QLabel *>(QStringLiteral("pageView"));
    auto *next = dialog.findChild<QPushButton *>(QStringLiteral("nextButton")), *prev = dialog.findChild<QPushButton *>(QStringLiteral("prevButton"));
    auto *printButton = dialog.findChild<QPushButton *>(QStringLiteral("printButton"));
    auto *zoom = dialog.findChild<QComboBox *>(QStringLiteral("zoomBox"));
    ASSERT_TRUE(pageLabel && view && next && prev && printButton && zoom);

    EXPECT_EQ(pageLabel->text(), QStringLiteral("第 1 页，共 2 页"));
    EXPECT_FALSE(prev->isEnabled());
    // 210 x 148.5 mm at 96 per inch.
    EXPECT_EQ(view->pixmap().size(), QSize(794, 561));

    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(dialog.currentPage(), 1);
    EXPECT_EQ(pageLabel->text(), QStringLiteral("第 2 页，共 2 页"));
    EXPECT_FALSE(next->isEnabled());
    EXPECT_EQ(view->pixmap().size(), QSize(688, 971));   // 182 x 257 mm

    zoom->setCurrentText(QStringLiteral("50%"));
    EXPECT_EQ(dialog.zoomPercent(), 50);
    EXPECT_EQ(view->pixmap().size(), QSize(344, 486));

    QTest::mouseClick(printButton, Qt::LeftButton);
    EXPECT_TRUE(dialog.printed());
    ASSERT_EQ(pdf->jobs().size(), 1u);
    EXPECT_EQ(pdf->jobs()[0].pageCount, 2);

    // A printer error is shown, not swallowed.
    PrintJob job = twoPages();
    job.printerIndex = 5;   // not installed
    QStringList shown;
    dlg::setResponder([&](const dlg::Request &r) { return shown << r.text, dlg::Reply{}; });
    ReportPreviewDialog failing(job);
    QTest::mouseClick(failing.findChild<QPushButton *>(QStringLiteral("printButton")), Qt::LeftButton);
    EXPECT_FALSE(failing.printed());
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.value(0).contains(QStringLiteral("打印机")));
    EXPECT_EQ(pdf->jobs().size(), 1u);
}
