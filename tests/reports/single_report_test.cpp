// The single patient report: reference limits, range texts and arrows; the
// layouts printed through the PDF back end and read back (paper, texts,
// pictures; positions are the golden test's; the first-print stamp is the
// print window test's).
#include "pdftools.h"

#include "platform/report/printing.h"
#include "reports/forms.h"
#include "reports/printsettings.h"
#include "reports/singlereport.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace reports;

TEST(ReportRules, LimitsRangesAndFlags)
{
    const ResultRow r{{}, {}, {}, {}, "10", "4", "9.5", "3.5"};
    // Only the exact word is female; blank counts as male; anything else has none.
    const std::pair<const char *, const char *> sexes[] = {{"女", "3.5--9.5"}, {"男", "4--10"}, {"", "4--10"},
                                                           {"  ", "4--10"}, {"未知", "-"}, {" 女", "-"}};
    for (const auto &[sex, range] : sexes) {
        const auto l = limitsFor(sex, r);
        EXPECT_EQ(l ? l->low + "--" + l->high : "-", range) << sex;
    }
    const char *ranges[][3] = {{" 4 ", "10 ", "4--10"}, {" ", "10", "10"}, {"4", "", "4"}, {"", "  ", ""}};
    for (const auto &c : ranges)
        EXPECT_EQ(rangeText(c[0], c[1]), c[2]) << c[0] << "|" << c[1];
    // Strict at the limits; a lone point is 0; a trailing blank makes no number;
    // a blank or text limit gives no arrow on its side only.
    const char *cases[][4] = {{"12.5", "4", "10", "↑"}, {"10", "4", "10", ""}, {"10.0001", "4", "10", "↑"},
                              {"4", "4", "10", ""}, {"3.99", "4", "10", "↓"}, {"1e2", "4", "10", "↑"},
                              {".", "4", "10", "↓"}, {"12.5 ", "4", "10", ""}, {"abc", "4", "10", ""},
                              {"", "4", "10", ""}, {"12.5", "4", "高", ""}, {"1", " ", "10", ""}, {"1", "4", "", "↓"}};
    for (const auto &c : cases)
        EXPECT_EQ(flagFor(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

// ---- printed reports -----------------------------------------------------------

namespace {

ResultRow row(const QString &name, const char *abbr, const QString &value, const QString &lo, const QString &hi)
{
    return {name, abbr ? QVariant(abbr) : QVariant(), value, "10^9/L", hi, lo, hi, lo};
}

std::vector<ResultRow> sampleRows()
{
    return {row("白细胞计数", "WBC", "12.5", "4", "10"), row("红细胞计数", "RBC", "3.10", "4.0", "5.5"),
            row("血红蛋白", "HGB", "10", "", "10"), row("备注项", nullptr, "abc", "4", ""),
            row("血小板计数", "  ", "250", "100", "300")};
}

PrintSettings settings(int paper, int kind = KindGraphic) { return {0, paper, kind, "5.0", "20.0", "10.0", "20.0"}; }

const QColor Pictures[4] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};

class SingleReport : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void SetUp() override { report::setPrinterBackend(pdf); }
    void TearDown() override { report::setPrinterBackend(nullptr); }

    static ReportContent content(std::vector<ResultRow> rows = sampleRows())
    {
        ReportContent c{"示例医院", {{"name", "张三"}, {"sex", "男"}}, std::move(rows), {}};
        for (int i = 0; i < 4; ++i) {
            c.images[i] = QImage(120, 120, QImage::Format_RGB32);
            c.images[i].fill(Qt::white);
            QPainter(&c.images[i]).fillRect(10, 10, 100, 100, Pictures[i]);
        }
        return c;
    }
    // Prints and returns the job's PDF.
    QString print(const PrintSettings &s, const ReportContent &c = content())
    {
        const size_t before = pdf->jobs().size();
        EXPECT_EQ(resultprint(forms, s, c), QString());
        EXPECT_EQ(pdf->jobs().size(), before + 1);
        return pdf->jobs().back().file;
    }

    QTemporaryDir tmp;
    std::shared_ptr<report::PdfFileBackend> pdf = std::make_shared<report::PdfFileBackend>(tmp.path());
    ReportForms forms;
};

} // namespace

TEST_F(SingleReport, EveryChoicePrintsOnePageOfItsPaperWithTitleRowsAndArrows)
{
    // B5 prints the A4 report shrunk to its width.
    const struct { int paper, kind; double w, h; const char *image; double scale; } all[] = {
        {0, 0, 595.28, 420.94, "single-half-148", 1}, {1, 0, 595.28, 396.00, "single-half-139", 1}, {2, 0, 595.28, 841.89, "single-a4", 1},
        {3, 0, 515.91, 728.50, "single-b5", 182.0 / 210}, {0, 1, 595.28, 841.89, "single-text", 1}};
    for (const auto &e : all) {
        SCOPED_TRACE(e.image);
        PrintSettings s = settings(e.paper, e.kind);
        if (e.kind == KindText)
            s.left = "2%";   // the text report ignores the margins
        const QString file = print(s);
        const QSizeF pt = pdftools::pageSizePt(file);
        EXPECT_ANY_THROW(pdftools::pageSizePt(file, 2));   // one page only
        EXPECT_TRUE(std::abs(pt.width() - e.w) < 0.02 && std::abs(pt.height() - e.h) < 0.02) << pt.width() << " x " << pt.height();
        pdftools::savePage(file, e.image);
        // The item without abbreviation, and the blank one, get no bracket;
        // the text layout has no arrows.
        const QString text = pdftools::compactText(file);
        const std::pair<const char *, int> texts[] = {{"示例医院检验报告单", 1}, {"[WBC]", 1}, {"[", 3}, {"4--10", 1},
                                                      {"100--300", 1}, {"↑", e.kind == 0}, {"↓", e.kind == 0}, {"张三", 1}};
        for (const auto &[t, n] : texts)
            EXPECT_EQ(pdftools::count(text, t), n) << t;
        // The graphic layouts carry the four pictures whole in their boxes,
        // read from the page as the paper shows it: each picture's colour
        // covers the box as laid out (on B5 shrunk with the page) and stops
        // short of the paper's edge.
        const QImage page = pdftools::pageImage(file, 1, 96);
        const report::ReportForm &f = formFor(forms, layoutFor(s));
        const char *boxes[4] = {"qimg1", "qimg4", "qimg5", "qimg6"};
        const double mmPerDot = report::pxToMm(1);
        for (int i = 0; i < 4 && e.kind == KindGraphic; ++i) {
            QRect found;
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x) {
                    const QColor got = page.pixelColor(x, y);
                    if (std::abs(got.red() - Pictures[i].red()) + std::abs(got.green() - Pictures[i].green())
                            + std::abs(got.blue() - Pictures[i].blue()) < 60)
                        found |= QRect(x, y, 1, 1);
                }
            const QRectF box = f.item(boxes[i]).mm.translated(20, 5);
            // The colour fills the picture but for its 10 of 120 dots of white all round.
            const QRectF laidOut = box.adjusted(box.width() / 12, box.height() / 12, -box.width() / 12, -box.height() / 12);
            const QRectF want(laidOut.topLeft() * e.scale, laidOut.size() * e.scale);
            const QRectF got(QPointF(found.left(), found.top()) * mmPerDot, QPointF(found.right() + 1, found.bottom() + 1) * mmPerDot);
            EXPECT_TRUE(std::abs(got.left() - want.left()) < 0.6 && std::abs(got.right() - want.right()) < 0.6
                        && std::abs(got.top() - want.top()) < 0.6 && std::abs(got.bottom() - want.bottom()) < 0.6)
                << boxes[i] << " prints at " << got.left() << ".." << got.right() << " x " << got.top() << ".." << got.bottom()
                << " mm, laid out at " << want.left() << ".." << want.right() << " x " << want.top() << ".." << want.bottom();
            EXPECT_TRUE(found.right() < page.width() - 1 && found.bottom() < page.height() - 1) << boxes[i] << " reaches the edge";
        }
    }
}

TEST_F(SingleReport, RowLabelsAreFreedAndTheFormIsRecreated)
{
    print(settings(0), content(std::vector<ResultRow>(60, sampleRows().front())));   // more rows than one page holds
    for (const auto &it : forms.frmtestreport.items())
        EXPECT_FALSE(it.runtime) << it.name.toStdString();
    // The template's moved footer line is not what a single print uses.
    moveTemplateFooter(forms.frmtestreport);
    print(settings(0));
    EXPECT_NEAR(forms.frmtestreport.item("QRShape4").mm.top(), 122.8, 1e-9);
}
