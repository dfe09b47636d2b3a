// The report layer: resolve() binding a record and wrapping text, and the
// PDF back end (where the printed forms stand is the golden test's).
#include "pdftools.h"
#include "platform/report/displaylist.h"
#include "platform/report/printing.h"
#include "reports/forms.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace report;

namespace {

// A small design with a caption, two data texts and an image box.
ReportForm sampleDesign()
{
    ReportForm f;
    f.setPageMm(210, 148.5);
    f.setMargins(5, 20, 10, 20);
    f.add(makeLabel("cap", "姓    名：", FontSpec(), 4.2, 14.8, 18, 4.5), false);
    f.add(makeDataText("name", "name", FontSpec(), 23.3, 14.6, 8.7, 5), false);
    f.add(makeDataText("time", "taketime", FontSpec(), 60, 14.6, 10.8, 5), false);
    f.add(makeImage("img", 120, 40, 30, 30), false);
    return f;
}

class ReportLayer : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void TearDown() override { setPrinterBackend(nullptr); }
};

} // namespace

TEST_F(ReportLayer, ResolveBindsTheRecordWithoutRegardToCase)
{
    ReportForm f = sampleDesign();
    const DisplayList dl = resolve(f, recordFromMap({{"NAME", "张三"}, {"taketime", QTime(8, 5)}}));
    // Field names compare without regard to case; times print as hh:mm.
    auto name = dl.ofItem("name");
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0]->text, "张三");
    EXPECT_EQ(dl.withText("08:05").size(), 1u);
    // An image box without a picture and a missing field print nothing at all.
    EXPECT_TRUE(dl.ofItem("img").empty());
    EXPECT_TRUE(resolve(f, emptyRecord()).ofItem("name").empty());
}

TEST_F(ReportLayer, WordWrapBreaksWithinTheWidth)
{
    ReportForm f;
    f.setMargins(10, 10, 10, 10);
    ReportItem it = makeLabel("wrap", "结果仅对本次标本负责，复查请携带本报告单到检验科", FontSpec(), 0, 0, 30, 5);
    it.autoSize = false;
    it.wordWrap = it.autoStretch = true;
    f.add(it);
    const DisplayList dl = resolve(f, emptyRecord());
    auto lines = dl.ofItem("wrap");
    ASSERT_GE(lines.size(), 3u);
    QString joined;
    for (size_t i = 0; i < lines.size(); joined += lines[i++]->text)
        EXPECT_TRUE(lines[i]->mm.width() <= 30 + 1e-6 && lines[i]->mm.left() >= 10 - 1e-6
                    && (i == 0 || lines[i]->mm.top() > lines[i - 1]->mm.top())) << lines[i]->text.toStdString();
    EXPECT_EQ(joined, it.text);

    // Latin text breaks between words; no line carries a trailing blank.
    f.item("wrap").text = "Red blood cell count and haemoglobin";
    for (const Primitive *p : resolve(f, emptyRecord()).ofItem("wrap"))
        EXPECT_FALSE(p->text.endsWith(' ') || p->mm.width() > 30 + 1e-6) << p->text.toStdString();
}

TEST_F(ReportLayer, PdfBackendWritesOneFilePerJobOnInstalledPrintersOnly)
{
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path(), QStringList{"P0", "P1"});
    EXPECT_THROW(print(sampleDesign(), emptyRecord()), ReportError);  // nothing installed yet
    setPrinterBackend(pdf);
    ReportForm f = sampleDesign();
    f.title = "job one";
    for (int index : {1, -1, 2, -2}) {   // -1: the default printer
        f.printerIndex = index;
        if (index < 2 && index > -2)
            print(f, recordFromMap({{"name", QString("张三%1").arg(index)}}));
        else
            EXPECT_THROW(print(f, emptyRecord()), ReportError) << index;
    }
    f.printerIndex = -1;
    preview(f, emptyRecord());
    print(PrintJob{});   // an empty job prints nothing
    const auto jobs = pdf->jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_TRUE(jobs[0].printerIndex == 1 && jobs[0].title == "job one");
    EXPECT_TRUE(pdf->log().size() == 3u && pdf->log()[2].preview);
    EXPECT_EQ(QDir(tmp.path()).entryList({"*.pdf"}).size(), 3);   // one file each
    EXPECT_EQ(pdftools::compactText(jobs[1].file), "姓名：张三-1");
}
