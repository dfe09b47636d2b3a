// The report layer: forms as data, resolve() into page primitives, the PDF
// back end and what ends up in the PDF.
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

// A small design with one of each printable.
ReportForm sampleDesign()
{
    ReportForm f;
    f.instanceName = QStringLiteral("sample");
    f.setPageMm(210, 148.5);
    f.setMargins(5, 20, 10, 20);
    f.add(makeLabel(QStringLiteral("cap"), QStringLiteral("姓    名："), FontSpec(), 4.2, 14.8, 18, 4.5), false);
    f.add(makeDataText(QStringLiteral("name"), QStringLiteral("name"), FontSpec(), 23.3, 14.6, 8.7, 5), false);
    f.add(makeDataText(QStringLiteral("time"), QStringLiteral("taketime"), FontSpec(), 60, 14.6, 10.8, 5), false);
    f.add(makeHLine(QStringLiteral("hl"), 4.2, 28.0, 161.4, 1.3, 2), false);
    f.add(makeImage(QStringLiteral("img"), 120, 40, 30, 30), false);
    return f;
}

class ReportLayer : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void TearDown() override { setPrinterBackend(nullptr); }
};

} // namespace

TEST_F(ReportLayer, ResolveBindsTheRecordAndPlacesOnThePage)
{
    ReportForm f = sampleDesign();
    const DisplayList dl = resolve(f, recordFromMap({{QStringLiteral("NAME"), QStringLiteral("张三")}, {QStringLiteral("taketime"), QTime(8, 5)}}));

    // Field names compare without regard to case; times print as hh:mm.
    auto name = dl.ofItem(QStringLiteral("name"));
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0]->text, QStringLiteral("张三"));
    EXPECT_EQ(dl.withText(QStringLiteral("08:05")).size(), 1u);
    // An auto-sized text is as wide as its text.
    EXPECT_NEAR(name[0]->mm.width(), measureTextMm(QStringLiteral("张三"), FontSpec()).width(), 1e-9);

    // The caption keeps its blanks.
    EXPECT_EQ(dl.withText(QStringLiteral("姓    名：")).size(), 1u);

    // Lines run through the middle of their box; pens in mm from layout px.
    auto hl = dl.ofItem(QStringLiteral("hl"));
    ASSERT_EQ(hl.size(), 1u);
    EXPECT_EQ(hl[0]->line.y1(), hl[0]->line.y2());
    EXPECT_NEAR(hl[0]->line.y1(), 5 + 28.65, 1e-9);
    EXPECT_NEAR(hl[0]->penMm, 2 * 25.4 / 96, 1e-9);
    // An image box without a picture prints nothing.
    EXPECT_TRUE(dl.ofItem(QStringLiteral("img")).empty());

    // A missing field prints nothing at all.
    EXPECT_TRUE(resolve(f, emptyRecord()).ofItem(QStringLiteral("name")).empty());
}

TEST_F(ReportLayer, WordWrapBreaksWithinTheWidth)
{
    ReportForm f;
    f.setMargins(10, 10, 10, 10);
    ReportItem it = makeLabel(QStringLiteral("wrap"), QStringLiteral("结果仅对本次标本负责，复查请携带本报告单到检验科"), FontSpec(), 0, 0, 30, 5);
    it.autoSize = false;
    it.wordWrap = it.autoStretch = true;
    f.add(it);
    const DisplayList dl = resolve(f, emptyRecord());
    auto lines = dl.ofItem(QStringLiteral("wrap"));
    ASSERT_GE(lines.size(), 3u);
    QString joined;
    for (size_t i = 0; i < lines.size(); joined += lines[i++]->text)
        EXPECT_TRUE(lines[i]->mm.width() <= 30 + 1e-6 && lines[i]->mm.left() >= 10 - 1e-6
                    && (i == 0 || lines[i]->mm.top() > lines[i - 1]->mm.top())) << lines[i]->text.toStdString();
    EXPECT_EQ(joined, it.text);

    // Latin text breaks between words; no line carries a trailing blank.
    f.item(QStringLiteral("wrap")).text = QStringLiteral("Red blood cell count and haemoglobin");
    for (const Primitive *p : resolve(f, emptyRecord()).ofItem(QStringLiteral("wrap")))
        EXPECT_FALSE(p->text.endsWith(QLatin1Char(' ')) || p->mm.width() > 30 + 1e-6) << p->text.toStdString();
}

TEST_F(ReportLayer, PdfBackendWritesOneFilePerJobOnInstalledPrintersOnly)
{
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path(), QStringList{QStringLiteral("P0"), QStringLiteral("P1")});
    EXPECT_THROW(print(sampleDesign(), emptyRecord()), ReportError);  // nothing installed yet
    setPrinterBackend(pdf);
    ReportForm f = sampleDesign();
    f.title = QStringLiteral("job one");
    for (int index : {1, -1, 2, -2}) {   // -1: the default printer
        f.printerIndex = index;
        if (index < 2 && index > -2)
            print(f, recordFromMap({{QStringLiteral("name"), QStringLiteral("张三%1").arg(index)}}));
        else
            EXPECT_THROW(print(f, emptyRecord()), ReportError) << index;
    }
    f.printerIndex = -1;
    preview(f, emptyRecord());
    print(PrintJob{});   // an empty job prints nothing
    const auto jobs = pdf->jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].printerIndex, 1);
    EXPECT_EQ(jobs[0].title, QStringLiteral("job one"));
    EXPECT_TRUE(pdf->log().size() == 3u && pdf->log()[2].preview);
    EXPECT_EQ(QDir(tmp.path()).entryList({QStringLiteral("*.pdf")}).size(), 3);   // one file each
    EXPECT_EQ(pdftools::compactText(jobs[1].file), QStringLiteral("姓名：张三-1"));
}
