// Every report form printed for one fixed sample, read back from the PDF:
// each text box must stand where the committed list in golden/<form>.txt
// puts it (within 0.1 mm) and each rule likewise; no two text boxes and no
// text and rule may intersect, and every value stands a blank clear of the
// item name before it, for the default item catalogue with the longest
// values, a 10-digit case number and more rows than the forms hold.
// Page images go to test-output/reports/golden-<form>.png for people to look at.
//
// After a deliberate change of a form, VORLAN_GOLDEN_UPDATE=1 rewrites the lists.
#include "common/testdb.h"
#include "pdftools.h"

#include "platform/db/dataset.h"
#include "platform/report/printing.h"
#include "qc/chartmodel.h"
#include "qc/qclogic.h"
#include "qc/qcreport.h"
#include "reports/batch.h"
#include "reports/forms.h"
#include "reports/printsettings.h"
#include "reports/singlereport.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <gtest/gtest.h>

using namespace reports;

namespace {

// The default catalogue in print order, each with the widest value its item
// can show and the patient's own range.
std::vector<ResultRow> catalogueRows()
{
    db::Dataset items;
    EXPECT_TRUE(items.open("select name, abbreviation, unit, manhigh, manlow, womanhigh, womanlow from itemtb order by printorder"));
    std::vector<ResultRow> rows;
    for (items.first(); !items.eof(); items.next())
        rows.push_back({items.text("name"), items.value("abbreviation"), "8888.88", items.text("unit"), items.text("manhigh"),
                        items.text("manlow"), items.text("womanhigh"), items.text("womanlow")});
    return rows;
}

QVariantMap longestPatient()
{
    QVariantMap m;
    for (const QString &field : QString("name=欧阳明月 sex=男 age=100岁 shelfid=2026120699 depart=妇产科 caseno=1234567890 kind=全血 "
                                        "bedno=1234 doctor=司马医生 diagnose=缺铁性贫血 takedate=2026-12-06 taketime=08:10 "
                                        "checkdate=2026-12-06 bgtime=10:05 operator=诸葛检验").split(' '))
        m.insert(field.section('=', 0, 0), field.section('=', 1));
    return m;
}

ReportContent contentWith(std::vector<ResultRow> rows)
{
    ReportContent c{"示例医院", longestPatient(), std::move(rows), {}};
    QImage grey(60, 60, QImage::Format_RGB32);
    grey.fill(Qt::lightGray);
    c.images.fill(grey);
    return c;
}

PrintSettings settingsFor(int paper, int kind) { return {0, paper, kind, "5.0", "20.0", "10.0", "20.0"}; }

// A rule as the page shows it: its pen's rectangle.
QRectF ruleBox(const report::Primitive &p)
{
    const double h = p.penMm / 2;
    const QLineF &l = p.line;
    return QRectF(QPointF(std::min(l.x1(), l.x2()) - (l.dx() == 0 ? h : 0), std::min(l.y1(), l.y2()) - (l.dy() == 0 ? h : 0)),
                  QPointF(std::max(l.x1(), l.x2()) + (l.dx() == 0 ? h : 0), std::max(l.y1(), l.y2()) + (l.dy() == 0 ? h : 0)));
}

bool meet(const QRectF &a, const QRectF &b, double slack = 0.02)
{
    return a.adjusted(slack, slack, -slack, -slack).intersects(b.adjusted(slack, slack, -slack, -slack));
}

class ReportGolden : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }

    // A form's page printed to PDF; its words read back, the lines of text
    // as placed (each face's own ascent and descent) and its rules. The
    // reader's word boxes span a face's whole bounding box, taller than any
    // glyph, so overprints are checked on the lines as placed and the golden
    // lists hold the reader's positions.
    struct Printed
    {
        QString pdf;
        std::vector<pdftools::Word> words;
        std::vector<pdftools::Word> lines;
        std::vector<QRectF> rules;
        std::vector<QRectF> pictures;
        QSizeF pageMm;
    };
    Printed printPage(const report::DisplayList &page, const QString &name)
    {
        Printed out;
        out.pdf = QDir(tmp.path()).filePath(name + ".pdf");
        report::renderPdf({page}, out.pdf);
        out.words = pdftools::words(out.pdf);
        out.pageMm = pdftools::pageSizePt(out.pdf) / pdftools::ptPerMm;
        for (const auto &p : page.prims)
            if (p.kind == report::Primitive::Image || p.kind == report::Primitive::Chart)
                out.pictures.push_back(p.mm);
            else if (p.kind == report::Primitive::Line)
                out.rules.push_back(ruleBox(p));
            else if (p.kind == report::Primitive::Rect) {
                // A frame is four rules, each with the frame's pen.
                const QRectF &r = p.mm;
                for (const QLineF &edge : {QLineF(r.topLeft(), r.topRight()), QLineF(r.bottomLeft(), r.bottomRight()),
                                           QLineF(r.topLeft(), r.bottomLeft()), QLineF(r.topRight(), r.bottomRight())}) {
                    report::Primitive rule = p;
                    rule.line = edge;
                    out.rules.push_back(ruleBox(rule));
                }
            }
            else if (p.kind == report::Primitive::Text) {
                // A closing full-width colon inks only the left half of its advance.
                QRectF box = p.mm;
                if (p.text.endsWith(QChar(0xFF1A)))
                    box.setRight(box.right() - p.font.pointSize * 25.4 / 72 / 2);
                out.lines.push_back({p.text, box});
            }
        pdftools::savePage(out.pdf, "golden-" + name);
        return out;
    }
    // The page of a single report for the settings, built as printing builds it.
    report::DisplayList reportPage(const PrintSettings &s, const ReportContent &c)
    {
        const Layout layout = layoutFor(s);
        report::ReportForm &form = formFor(forms, layout);
        form.recreate();
        buildReport(form, layout, s, c, forms);
        return report::resolve(form, report::recordFromMap(c.patient));
    }

    // A batch page with every slot filled by the same patient, built as
    // the batch run builds it.
    report::DisplayList batchPage(bool text, const std::vector<ResultRow> &rows)
    {
        const ReportContent c = contentWith(rows);
        report::ReportForm &page = text ? forms.frmtestreport3 : forms.frmtestreport4;
        report::ReportForm &tmpl = text ? forms.frmtestreport2 : forms.frmtestreport;
        page.recreate();
        tmpl.setCaption(text ? "QRLabel1" : "QRLabel26", "示例医院检验报告单");
        const Margins m = parseMargins(settingsFor(PaperHalfA4, KindGraphic));
        if (!text)
            page.setMargins(m.top, m.left, m.bottom, m.right);
        for (int slot = 1; slot <= (text ? TextSlots : GraphicSlots); ++slot) {
            const int offset = slotOffset(text ? BatchLayout::TextPages : BatchLayout::GraphicPages, slot);
            (text ? createreporthead : createA5reporthead)(page, tmpl, c.patient, slot, offset);
            if (text)
                createreportbody(page, tmpl, c.patient, c.rows, slot);
            else
                createA5reportbody(page, tmpl, c.patient, c.rows, c.images, slot);
            (text ? createreportfooter : createA5reportfooter)(page, tmpl, c.patient, slot, offset);
        }
        return report::resolve(page, report::emptyRecord());
    }

    // How many words of the page are the text (or end with it).
    static long count(const Printed &p, const char *text, bool ending = false)
    {
        const QLatin1String t(text);
        return std::count_if(p.words.begin(), p.words.end(), [&](const auto &w) { return ending ? w.text.endsWith(t) : w.text == t; });
    }

    static void expectNothingMeets(const Printed &p, const QString &what)
    {
        const auto &l = p.lines;
        for (size_t i = 0; i < l.size(); ++i) {
            for (size_t j = i + 1; j < l.size(); ++j)
                EXPECT_FALSE(meet(l[i].mm, l[j].mm))
                    << what.toStdString() << ": \"" << l[i].text.toStdString() << "\" meets \"" << l[j].text.toStdString()
                    << "\" at " << l[i].mm.left() << ", " << l[i].mm.top() << " mm";
            for (const QRectF &r : p.rules)
                EXPECT_FALSE(meet(l[i].mm, r)) << what.toStdString() << ": \"" << l[i].text.toStdString()
                                               << "\" meets the rule at " << r.top() << " mm (text " << l[i].mm.top() << ".." << l[i].mm.bottom() << ")";
        }
    }

    // Each value stands clear of the item name before it: the word that
    // ends nearest to its left on its line (the name or its abbreviation)
    // ends at least a blank's width before it, read from the page and in
    // the lines as placed, so the two never read as one word.
    static void expectGapBeforeValues(const Printed &p, const QString &what, const char *value = "8888.88")
    {
        constexpr double blankMm = 1.5;
        for (const auto *list : {&p.words, &p.lines}) {
            for (const auto &v : *list) {
                if (v.text != QLatin1String(value))
                    continue;
                const pdftools::Word *before = nullptr;
                for (const auto &w : *list) {
                    const double overlap = std::min(v.mm.bottom(), w.mm.bottom()) - std::max(v.mm.top(), w.mm.top());
                    if (&w != &v && w.mm.left() < v.mm.left() && overlap > v.mm.height() / 2
                        && (!before || w.mm.right() > before->mm.right()))
                        before = &w;
                }
                ASSERT_TRUE(before) << what.toStdString() << ": nothing before the value at " << v.mm.top() << " mm";
                EXPECT_GE(v.mm.left() - before->mm.right(), blankMm)
                    << what.toStdString() << (list == &p.words ? " (page)" : " (as placed)") << ": \""
                    << before->text.toStdString() << "\" ends " << v.mm.left() - before->mm.right() << " mm before its value at "
                    << v.mm.top() << " mm";
            }
        }
    }

    // Every word the reader finds, every line of text as placed, every rule
    // and every picture lies on the paper. A word wholly past the edge is
    // not read at all: the golden lists and the counts of whole values
    // catch those.
    static void expectInsidePage(const Printed &p, const QString &what)
    {
        const QRectF page = QRectF(QPointF(), p.pageMm).adjusted(-0.01, -0.01, 0.01, 0.01);
        ASSERT_FALSE(p.pageMm.isEmpty()) << what.toStdString();
        auto inside = [&](const QRectF &r, const QString &thing) {
            EXPECT_TRUE(page.contains(r)) << what.toStdString() << ": " << thing.toStdString() << " at " << r.left() << ".."
                                          << r.right() << " x " << r.top() << ".." << r.bottom() << " mm on a page of "
                                          << p.pageMm.width() << " x " << p.pageMm.height();
        };
        for (const auto &w : p.words)
            inside(w.mm, "\"" + w.text + "\"");
        for (const auto &l : p.lines)
            inside(l.mm, "the line \"" + l.text + "\"");
        for (const QRectF &r : p.rules)
            inside(r, "a rule");
        for (const QRectF &r : p.pictures)
            inside(r, "a picture");
    }

    static void expectGolden(const Printed &p, const QString &name)
    {
        QStringList lines;
        auto mm = [](double v) { return QString::number(v, 'f', 2); };
        for (const auto &w : p.words)
            lines << QString("text %1 %2 %3 %4 %5").arg(mm(w.mm.left()), mm(w.mm.top()), mm(w.mm.right()), mm(w.mm.bottom()), w.text);
        for (const QRectF &r : p.rules)
            lines << QString("rule %1 %2 %3 %4").arg(mm(r.left()), mm(r.top()), mm(r.right()), mm(r.bottom()));
        QFile f(testdb::sourceDir() + "/tests/reports/golden/" + name + ".txt");
        if (qEnvironmentVariableIntValue("VORLAN_GOLDEN_UPDATE")) {
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write((lines.join('\n') + '\n').toUtf8());
            return;
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
        const QStringList expected = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), expected.size()) << name.toStdString() << ": the page's texts and rules changed";
        for (int i = 0; i < lines.size(); ++i) {
            // The kind and the text exactly, the four edges within 0.1 mm.
            const QStringList got = lines[i].split(' '), want = expected[i].split(' ');
            ASSERT_EQ(got.size(), want.size()) << name.toStdString() << ": " << lines[i].toStdString();
            bool near = got[0] + got.mid(5).join(' ') == want[0] + want.mid(5).join(' ');
            for (int k = 1; k <= 4; ++k)
                near = near && std::abs(got[k].toDouble() - want[k].toDouble()) <= 0.1;
            EXPECT_TRUE(near) << name.toStdString() << " line " << i + 1 << ": \"" << lines[i].toStdString() << "\" expected \""
                              << expected[i].toStdString() << "\"";
        }
    }

    QTemporaryDir tmp;
    ReportForms forms;
};

} // namespace

TEST_F(ReportGolden, EveryFormStandsWhereDesignedAndNothingOverprints)
{
    const std::vector<ResultRow> catalogue = catalogueRows();
    ASSERT_GE(catalogue.size(), 20u);
    // Each page with how many case numbers and reports of the longest patient
    // it shows (a preview form shows the patient but no results).
    struct Page { QString name; report::DisplayList page; long caseNumbers, reports; };
    std::vector<Page> pages;
    const struct { const char *name; int paper, kind; } singles[] = {
        {"frmtestreport", PaperHalfA4, KindGraphic}, {"frmtestreport-continuous", PaperHalfContinuous, KindGraphic},
        {"frmtestreport1", PaperA4, KindGraphic}, {"frmtestreport1-b5", PaperB5, KindGraphic}, {"frmtestreport2", PaperA4, KindText}};
    for (const auto &c : singles)
        pages.push_back({c.name, reportPage(settingsFor(c.paper, c.kind), contentWith(catalogue)), 1, 1});
    for (const char *n : {"frmnomreport", "a4Report", "a5Report"}) {
        report::ReportForm &form = forms.byName(n);
        form.setCaption("QRLabel1", "示例医院检验报告单");
        pages.push_back({n, report::resolve(form, report::recordFromMap(longestPatient())), 1, 0});
    }
    pages.push_back({"frmtestreport3", batchPage(true, catalogue), TextSlots, TextSlots});
    pages.push_back({"frmtestreport4", batchPage(false, catalogue), GraphicSlots, GraphicSlots});

    // A 31-day control month with a value on every day, the widest values a
    // cell shows (four decimals) and a long lot and statistics line.
    qc::ChartModel chart = qc::screenChartModel();
    chart.title = {qc::chartTitle("2026", "12", "RDW-CV")};
    qc::drawLimitLines(chart, 500, 100, 31);
    for (int day = 1; day <= 31; ++day)
        chart.get("LineSeries1").addXY(day, day % 2 ? 888.8888 : 123.4567);
    report::ReportForm qcForm = report::ReportForm::instanceOf(qc::frmqcreportDesign());
    qc::fillQcReport(qcForm, chart, "示例医院", qc::reportCaption("2026120699", "X=8888.88 SD=8888.88 CV=8888.88%"));
    pages.push_back({"frmqcreport", report::resolve(qcForm, report::emptyRecord()), 0, 0});

    for (const Page &page : pages) {
        const Printed p = printPage(page.page, page.name);
        expectGolden(p, page.name);
        expectNothingMeets(p, page.name);
        expectGapBeforeValues(p, page.name);
        expectInsidePage(p, page.name);
        // The 10-digit case number and every value print whole (the reader
        // joins the case number to its caption's colon).
        EXPECT_EQ(count(p, "1234567890", true), page.caseNumbers) << page.name.toStdString();
        EXPECT_EQ(count(p, "8888.88"), long(catalogue.size()) * page.reports) << page.name.toStdString();
        if (page.name == "frmqcreport")
            EXPECT_EQ(QString("%1 %2").arg(count(p, "888.8888")).arg(count(p, "123.4567")), "16 15");
    }
}

TEST_F(ReportGolden, MoreRowsThanAFormHoldsAreSqueezedAndNeverOverprint)
{
    std::vector<ResultRow> rows = catalogueRows();
    const std::vector<ResultRow> more = rows;
    rows.insert(rows.end(), more.begin(), more.end());   // 48 rows
    for (int n : {27, 31, 48}) {
        const std::vector<ResultRow> some(rows.begin(), rows.begin() + n);
        for (const auto &[paper, kind] : {std::pair{PaperHalfA4, KindGraphic}, {PaperA4, KindGraphic}, {PaperA4, KindText}}) {
            const QString name = QString("rows%1-%2-%3").arg(n).arg(paper).arg(kind);
            const Printed p = printPage(reportPage(settingsFor(paper, kind), contentWith(some)), name);
            expectNothingMeets(p, name);
            expectGapBeforeValues(p, name);
            EXPECT_EQ(count(p, "8888.88"), long(n)) << name.toStdString();
        }
        for (bool text : {true, false}) {
            const QString name = QString("batch-rows%1-%2").arg(n).arg(text ? "text" : "graphic");
            const Printed p = printPage(batchPage(text, some), name);
            expectNothingMeets(p, name);
            expectGapBeforeValues(p, name);
            EXPECT_EQ(count(p, "8888.88"), long(n) * (text ? TextSlots : GraphicSlots)) << name.toStdString();
        }
    }
}

// The settings page's previews with the margins the settings give them
// print inside the paper (the reports on every paper are the golden pages').
TEST_F(ReportGolden, PreviewsPrintInsideThePaper)
{
    const Margins m = parseMargins(settingsFor(PaperA4, KindGraphic));
    for (const char *n : {"frmnomreport", "a4Report", "a5Report"}) {
        report::ReportForm &form = forms.byName(n);
        form.setMargins(m.top, m.left, m.bottom, m.right);
        form.setCaption("QRLabel1", "示例医院检验报告单");
        const Printed p = printPage(report::resolve(form, report::recordFromMap(longestPatient())), QString(n) + "-margins");
        expectInsidePage(p, n);
        EXPECT_TRUE(std::any_of(p.words.begin(), p.words.end(), [](const auto &w) { return w.text.endsWith("司马医生"); })) << n;
    }
}
