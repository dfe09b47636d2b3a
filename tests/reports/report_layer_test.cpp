// The report layer: forms as data, resolve() into page primitives, the PDF
// back end and what ends up in the PDF.
#include "pdftools.h"
#include "platform/report/displaylist.h"
#include "platform/report/printing.h"
#include "reports/forms.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace report;

namespace {

FontSpec song(double pt, bool bold = false)
{
    FontSpec f;
    f.family = QStringLiteral("宋体");
    f.pointSize = pt;
    f.bold = bold;
    return f;
}

// A small design with one of each printable.
ReportForm sampleDesign()
{
    ReportForm f;
    f.instanceName = QStringLiteral("sample");
    f.setPageMm(210, 148.5);
    f.setMargins(5, 20, 10, 20);
    f.add(makeLabel(QStringLiteral("title"), QStringLiteral("标题"), song(16, true), 0, 0, 170, 8, Align::Center), false);
    f.add(makeLabel(QStringLiteral("cap"), QStringLiteral("姓    名："), song(10), 4.2, 14.8, 18, 4.5), false);
    f.add(makeDataText(QStringLiteral("name"), QStringLiteral("name"), song(10), 23.3, 14.6, 8.7, 5), false);
    ReportItem keep = makeDataText(QStringLiteral("time"), QStringLiteral("taketime"), song(10), 60, 14.6, 10.8, 5);
    keep.autoSize = false;
    f.add(keep, false);
    f.add(makeHLine(QStringLiteral("hl"), 4.2, 28.0, 161.4, 1.3, 2), false);
    f.add(makeVLine(QStringLiteral("vl"), 95.8, 40, 0.5, 60, 1), false);
    f.add(makeRect(QStringLiteral("box"), 10, 40, 50, 30, 2), false);
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

TEST_F(ReportLayer, PixelsAndMillimetresStayInStep)
{
    // Rounded, not truncated: 65.6 mm is 248 px at zoom 100.
    EXPECT_EQ(mmToPx(65.6), 248);
    EXPECT_EQ(mmToPx(32.3 + 1.3), 127);
    EXPECT_EQ(mmToPx(0.440972, 60), 1);

    ReportForm f = sampleDesign();
    ReportItem &cap = f.item(QStringLiteral("cap"));
    f.zoom = 60;
    f.setPx(cap, QRect(48, 324, 35, 20));
    EXPECT_NEAR(cap.mm.left(), 21.17, 0.01);
    EXPECT_NEAR(cap.mm.top(), 142.87, 0.01);
    EXPECT_EQ(f.px(QStringLiteral("cap")), QRect(48, 324, 35, 20));

    EXPECT_THROW(f.item(QStringLiteral("nothing")), ReportError);
    EXPECT_EQ(f.find(QStringLiteral("nothing")), nullptr);
}

TEST_F(ReportLayer, RecreateReturnsToTheDesign)
{
    ReportForm f = ReportForm::instanceOf(sampleDesign());
    const int designCount = int(f.items().size());

    // Everything a print does to its form...
    f.addLabel(QStringLiteral("row1"), QStringLiteral("白细胞"), song(9), QRect(51, 127, 186, 16));
    f.item(QStringLiteral("hl")).mm.moveTop(pxToMm(440));
    f.setPageMm(210, 139.7);
    f.setMargins(1, 2, 3, 4);
    f.printerIndex = 2;
    f.setImage(QStringLiteral("img"), QImage(10, 10, QImage::Format_RGB32));
    EXPECT_EQ(int(f.items().size()), designCount + 1);

    // ...is gone after recreating it.
    f.recreate();
    EXPECT_EQ(int(f.items().size()), designCount);
    EXPECT_EQ(f.find(QStringLiteral("row1")), nullptr);
    EXPECT_DOUBLE_EQ(f.item(QStringLiteral("hl")).mm.top(), 28.0);
    EXPECT_NEAR(f.pageSize.size(QPageSize::Millimeter).height(), 148.5, 1e-6);
    EXPECT_DOUBLE_EQ(f.marginsMm.top(), 5);
    EXPECT_DOUBLE_EQ(f.marginsMm.left(), 20);
    EXPECT_EQ(f.printerIndex, -1);
    EXPECT_TRUE(f.item(QStringLiteral("img")).image.isNull());

    // Freeing only the run-time items keeps what the design put there.
    f.addLabel(QStringLiteral("a"), QStringLiteral("a"), song(9), QRect(0, 0, 10, 10));
    f.addLabel(QStringLiteral("b"), QStringLiteral("b"), song(9), QRect(0, 0, 10, 10));
    EXPECT_EQ(f.removeRuntimeItems(), 2);
    EXPECT_EQ(int(f.items().size()), designCount);

    ReportForm plain = sampleDesign();
    EXPECT_FALSE(plain.hasDesign());
    EXPECT_THROW(plain.recreate(), ReportError);
}

TEST_F(ReportLayer, AutoSizedCaptionAnchorsTheNextLabel)
{
    ReportForm f = ReportForm::instanceOf(sampleDesign());
    ReportItem &name = f.addLabel(QStringLiteral("name1"), QStringLiteral("白细胞计数"), song(9), QRect(51, 127, 186, 16));
    // The width follows the caption, the left edge stays, the height is kept.
    const int w = textWidthPx(QStringLiteral("白细胞计数"), song(9));
    EXPECT_GT(w, 40);
    EXPECT_LT(w, 186);
    EXPECT_EQ(f.px(QStringLiteral("name1")), QRect(51, 127, w, 16));
    // A longer caption makes a wider label.
    f.setCaption(name, QStringLiteral("白细胞计数白细胞计数"));
    EXPECT_GT(name.pxRect(100).width(), w + 30);
    EXPECT_EQ(name.pxRect(100).left(), 51);
    // The references handed out survive later additions.
    for (int i = 0; i < 200; ++i)
        f.addLabel(QStringLiteral("x%1").arg(i), QStringLiteral("x"), song(9), QRect(0, 0, 10, 10));
    EXPECT_EQ(name.text, QStringLiteral("白细胞计数白细胞计数"));
}

TEST_F(ReportLayer, ResolveBindsTheRecordAndPlacesOnThePage)
{
    ReportForm f = sampleDesign();
    const QVariantMap rec{{QStringLiteral("NAME"), QStringLiteral("张三")},
                          {QStringLiteral("taketime"), QTime(8, 5)}};
    const DisplayList dl = resolve(f, recordFromMap(rec));

    // Field names compare without regard to case; times print as hh:mm.
    auto name = dl.ofItem(QStringLiteral("name"));
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0]->text, QStringLiteral("张三"));
    EXPECT_NEAR(name[0]->mm.left(), 20 + 23.3, 1e-6);
    EXPECT_NEAR(name[0]->mm.top(), 5 + 14.6, 1e-6);
    auto time = dl.ofItem(QStringLiteral("time"));
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0]->text, QStringLiteral("08:05"));
    // An auto-sized text is as wide as its text.
    EXPECT_NEAR(name[0]->mm.width(), measureTextMm(QStringLiteral("张三"), song(10)).width(), 1e-9);

    // The caption keeps its blanks.
    EXPECT_EQ(dl.withText(QStringLiteral("姓    名：")).size(), 1u);

    // The centred title is centred in its box.
    auto title = dl.ofItem(QStringLiteral("title"));
    ASSERT_EQ(title.size(), 1u);
    EXPECT_NEAR(title[0]->mm.center().x(), 20 + 85, 1e-6);

    // Lines run through the middle of their box; pens in mm from layout px.
    auto hl = dl.ofItem(QStringLiteral("hl"));
    ASSERT_EQ(hl.size(), 1u);
    EXPECT_EQ(hl[0]->kind, Primitive::Line);
    EXPECT_NEAR(hl[0]->line.y1(), 5 + 28.65, 1e-9);
    EXPECT_NEAR(hl[0]->line.y2(), 5 + 28.65, 1e-9);
    EXPECT_NEAR(hl[0]->line.length(), 161.4, 1e-9);
    EXPECT_NEAR(hl[0]->penMm, 2 * 25.4 / 96, 1e-9);
    auto vl = dl.ofItem(QStringLiteral("vl"));
    ASSERT_EQ(vl.size(), 1u);
    EXPECT_NEAR(vl[0]->line.x1(), 20 + 96.05, 1e-9);
    EXPECT_NEAR(vl[0]->line.length(), 60, 1e-9);
    // An image box without a picture prints nothing.
    EXPECT_TRUE(dl.ofItem(QStringLiteral("img")).empty());

    // A missing field and an empty record print nothing at all.
    const DisplayList empty = resolve(f, emptyRecord());
    EXPECT_TRUE(empty.ofItem(QStringLiteral("name")).empty());
    EXPECT_EQ(fieldText(QDate(2026, 3, 9)), QStringLiteral("2026-03-09"));
}

TEST_F(ReportLayer, WordWrapBreaksWithinTheWidth)
{
    ReportForm f;
    f.setMargins(10, 10, 10, 10);
    ReportItem it = makeLabel(QStringLiteral("wrap"), QString(), song(10), 0, 0, 30, 5);
    it.autoSize = false;
    it.wordWrap = true;
    it.autoStretch = true;
    it.text = QStringLiteral("结果仅对本次标本负责，复查请携带本报告单到检验科");
    f.add(it);
    const DisplayList dl = resolve(f, emptyRecord());
    auto lines = dl.ofItem(QStringLiteral("wrap"));
    ASSERT_GE(lines.size(), 3u);
    QString joined;
    double prevTop = -1;
    for (const Primitive *p : lines) {
        EXPECT_LE(p->mm.width(), 30 + 1e-6) << p->text.toStdString();
        EXPECT_GE(p->mm.left(), 10 - 1e-6);
        EXPECT_GT(p->mm.top(), prevTop);
        prevTop = p->mm.top();
        joined += p->text;
    }
    EXPECT_EQ(joined, it.text);

    // Latin text breaks between words; no line carries a trailing blank.
    f.item(QStringLiteral("wrap")).text = QStringLiteral("Red blood cell count and haemoglobin");
    const DisplayList latin = resolve(f, emptyRecord());
    auto ll = latin.ofItem(QStringLiteral("wrap"));
    ASSERT_GE(ll.size(), 2u);
    for (const Primitive *p : ll) {
        EXPECT_FALSE(p->text.endsWith(QLatin1Char(' ')));
        EXPECT_LE(p->mm.width(), 30 + 1e-6);
    }
}

TEST_F(ReportLayer, ChartItemPaintsIntoItsBox)
{
    ReportForm f;
    f.setMargins(10, 10, 10, 10);
    QRectF seen;
    double seenScale = 0;
    ReportItem chart;
    chart.kind = ItemKind::Chart;
    chart.name = QStringLiteral("QRChart1");
    chart.mm = QRectF(10, 20, 100, 50);
    chart.chart = [&](QPainter &p, const QRectF &r, double pxPerMm) {
        seen = r;
        seenScale = pxPerMm;
        p.fillRect(r, Qt::blue);
    };
    f.add(chart);
    const QImage img = renderImage(resolve(f, emptyRecord()), 96);
    EXPECT_NEAR(seenScale, 96 / 25.4, 1e-9);
    EXPECT_NEAR(seen.left(), 20 * 96 / 25.4, 1e-6);
    EXPECT_NEAR(seen.top(), 30 * 96 / 25.4, 1e-6);
    EXPECT_NEAR(seen.width(), 100 * 96 / 25.4, 1e-6);
    const QPoint inside(int(60 * 96 / 25.4), int(55 * 96 / 25.4));
    EXPECT_EQ(img.pixelColor(inside), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::white));
}

TEST_F(ReportLayer, PdfBackendWritesOneFilePerJob)
{
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path(), QStringList{QStringLiteral("P0"), QStringLiteral("P1")});
    EXPECT_THROW(print(sampleDesign(), emptyRecord()), ReportError);  // nothing installed yet
    setPrinterBackend(pdf);

    ReportForm f = sampleDesign();
    f.printerIndex = 1;
    f.title = QStringLiteral("job one");
    print(f, recordFromMap({{QStringLiteral("name"), QStringLiteral("张三")}}));
    f.printerIndex = -1;
    print(f, emptyRecord());
    preview(f, emptyRecord());

    // A printer that is not installed is refused and nothing is written.
    f.printerIndex = 2;
    EXPECT_THROW(print(f, emptyRecord()), ReportError);
    f.printerIndex = -2;
    EXPECT_THROW(print(f, emptyRecord()), ReportError);

    const auto jobs = pdf->jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(QFileInfo(jobs[0].file).fileName(), QStringLiteral("job-001.pdf"));
    EXPECT_EQ(QFileInfo(jobs[1].file).fileName(), QStringLiteral("job-002.pdf"));
    EXPECT_EQ(jobs[0].printerIndex, 1);
    EXPECT_EQ(jobs[0].title, QStringLiteral("job one"));
    EXPECT_EQ(jobs[1].printerIndex, -1);
    ASSERT_EQ(pdf->log().size(), 3u);
    EXPECT_TRUE(pdf->log()[2].preview);
    EXPECT_EQ(QDir(tmp.path()).entryList({QStringLiteral("*.pdf")}).size(), 3);

    EXPECT_EQ(pdftools::pageCount(jobs[0].file), 1);
    EXPECT_TRUE(pdftools::rawText(jobs[0].file).contains(QStringLiteral("张三")));
    EXPECT_FALSE(pdftools::rawText(jobs[1].file).contains(QStringLiteral("张三")));
}

TEST_F(ReportLayer, OneJobOfSeveralPagesKeepsEachPagesPaper)
{
    QTemporaryDir tmp;
    auto pdf = std::make_shared<PdfFileBackend>(tmp.path());
    setPrinterBackend(pdf);

    ReportForm half = sampleDesign();
    ReportForm a4 = sampleDesign();
    a4.pageSize = QPageSize(QPageSize::A4);
    ReportForm b5 = sampleDesign();
    b5.pageSize = QPageSize(QPageSize::JisB5);
    PrintJob job;
    job.pages = {resolve(half, emptyRecord()), resolve(a4, emptyRecord()), resolve(b5, emptyRecord())};
    print(job);
    ASSERT_EQ(pdf->jobs().size(), 1u);
    const QString file = pdf->jobs()[0].file;
    EXPECT_EQ(pdftools::pageCount(file), 3);
    EXPECT_NEAR(pdftools::pageSizePt(file, 1).height(), 420.94, 0.05);
    EXPECT_NEAR(pdftools::pageSizePt(file, 2).height(), 841.89, 0.05);
    EXPECT_NEAR(pdftools::pageSizePt(file, 3).width(), 515.91, 0.05);
    EXPECT_NEAR(pdftools::pageSizePt(file, 3).height(), 728.50, 0.05);

    // An empty job prints nothing.
    print(PrintJob{});
    EXPECT_EQ(pdf->jobs().size(), 1u);
}
