// The single patient report and the print-settings rules: reference limits,
// range texts and arrows; the three layouts printed through the PDF back end
// and read back (paper, captions, row positions, pitch, pictures); the
// first-print stamp and the refusals that must leave it alone.
#include "common/testdb.h"
#include "pdftools.h"

#include "app/session.h"
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "platform/report/printing.h"
#include "reports/forms.h"
#include "reports/printsettings.h"
#include "reports/singlereport.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace reports;

namespace {

ResultRow limitsRow()
{
    ResultRow r;
    r.manlow = QStringLiteral("4");
    r.manhigh = QStringLiteral("10");
    r.womanlow = QStringLiteral("3.5");
    r.womanhigh = QStringLiteral("9.5");
    return r;
}

} // namespace

TEST(ReportRules, LimitsFollowThePrintedPatientsSex)
{
    const ResultRow r = limitsRow();
    auto l = limitsFor(QStringLiteral("女"), r);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->low, QStringLiteral("3.5"));
    EXPECT_EQ(l->high, QStringLiteral("9.5"));
    for (const char *male : {"男", "", "  "}) {
        l = limitsFor(QString::fromUtf8(male), r);
        ASSERT_TRUE(l) << male;
        EXPECT_EQ(l->low, QStringLiteral("4"));
        EXPECT_EQ(l->high, QStringLiteral("10"));
    }
    EXPECT_FALSE(limitsFor(QStringLiteral("未知"), r));
    EXPECT_FALSE(limitsFor(QStringLiteral(" 女"), r));   // only the exact word is female; not blank either
}

TEST(ReportRules, RangeTextWithOneOrTwoLimits)
{
    EXPECT_EQ(rangeText(QStringLiteral(" 4 "), QStringLiteral("10 ")), QStringLiteral("4--10"));
    EXPECT_EQ(rangeText(QStringLiteral(" "), QStringLiteral("10")), QStringLiteral("10"));
    EXPECT_EQ(rangeText(QStringLiteral("4"), QString()), QStringLiteral("4"));
    EXPECT_EQ(rangeText(QString(), QStringLiteral("  ")), QString());
}

TEST(ReportRules, FlagsAreStrictAtTheLimits)
{
    const QString lo = QStringLiteral("4"), hi = QStringLiteral("10");
    // A lone point is 0; a trailing blank makes no number.
    const std::pair<const char *, const char *> cases[] = {{"12.5", "↑"}, {"10", ""}, {"10.0001", "↑"}, {"4", ""},
                                                           {"3.99", "↓"}, {"1e2", "↑"}, {".", "↓"}, {"12.5 ", ""},
                                                           {"abc", ""}, {"", ""}};
    for (const auto &[value, flag] : cases)
        EXPECT_EQ(flagFor(QString::fromUtf8(value), lo, hi), QString::fromUtf8(flag)) << value;
    // A limit that is blank or text gives no arrow on its side only.
    EXPECT_EQ(flagFor(QStringLiteral("12.5"), lo, QStringLiteral("高")), QString());
    EXPECT_EQ(flagFor(QStringLiteral("1"), QStringLiteral(" "), hi), QString());
    EXPECT_EQ(flagFor(QStringLiteral("1"), lo, QString()), QStringLiteral("↓"));
}

TEST(PrintSettingsRules, MarginKeyFilter)
{
    for (QChar c : QStringLiteral("0123456789.%'\t"))
        EXPECT_TRUE(marginKeyAccepted(c, QStringLiteral("12"))) << c.unicode();
    EXPECT_FALSE(marginKeyAccepted(QLatin1Char('.'), QStringLiteral("1.5")));
    for (QChar c : {QChar(u'a'), QChar(u'-'), QChar(u'\b'), QChar(u'\r'), QChar(u' '), QChar(u'，')})
        EXPECT_FALSE(marginKeyAccepted(c, QString())) << c.unicode();
}

TEST(PrintSettingsRules, MarginTextsAndStoredIndexes)
{
    EXPECT_EQ(marginShown(QVariant(), DefaultTop), QStringLiteral("0.0"));
    EXPECT_EQ(marginShown(0.0, DefaultTop), QStringLiteral("5.0"));
    EXPECT_EQ(marginShown(0, DefaultLeft), QStringLiteral("20.0"));
    EXPECT_EQ(marginShown(12.345, DefaultTop), QStringLiteral("12.3"));
    EXPECT_DOUBLE_EQ(marginValue(QStringLiteral("12.34567")), 12.3457);
    EXPECT_DOUBLE_EQ(marginValue(QStringLiteral(".")), 0);
    EXPECT_THROW(marginValue(QStringLiteral("5%")), report::ReportError);
    EXPECT_THROW(marginValue(QString()), report::ReportError);
    EXPECT_EQ(storedIndex(QVariant(), 4), -1);
    EXPECT_EQ(storedIndex(3, 4), 3);
    EXPECT_EQ(storedIndex(4, 4), -1);
    EXPECT_EQ(storedIndex(-1, 4), -1);
}

TEST(PrintSettingsRules, PaperSetupRecordsTheNamedPaperPerPrinter)
{
    clearPrinterPapers();
    struct Expect { int paper; const char *form; int w, l; double wmm, lmm; };
    const Expect all[] = {{0, "Custom Size", 2100, 1485, 210, 148.5}, {1, "Custom Size", 2100, 1397, 210, 139.7},
                          {2, "A4", 0, 0, 210, 297}, {3, "B5", 0, 0, 182, 257}};
    for (const Expect &e : all) {
        SCOPED_TRACE(e.paper);
        const auto p = paperSetupFor(e.paper);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->form, QLatin1String(e.form));
        EXPECT_EQ(p->width10, e.w);
        EXPECT_EQ(p->length10, e.l);
        setprtpaper(p->form, p->width10, p->length10, QStringLiteral("P%1").arg(e.paper));
        const QSizeF mm = currentPageSize(QStringLiteral("P%1").arg(e.paper)).size(QPageSize::Millimeter);
        EXPECT_NEAR(mm.width(), e.wmm, 0.05);
        EXPECT_NEAR(mm.height(), e.lmm, 0.05);
    }
    EXPECT_FALSE(paperSetupFor(-1));
    EXPECT_FALSE(paperSetupFor(4));
    EXPECT_FALSE(printerPaper(QStringLiteral("never set up")));
    // A second set-up replaces the printer's paper.
    setprtpaper(QStringLiteral("A4"), 0, 0, QStringLiteral("P0"));
    EXPECT_EQ(printerPaper(QStringLiteral("P0"))->form, QStringLiteral("A4"));
    clearPrinterPapers();
}

TEST(PrintSettingsRules, StoringWritesTheSettingsRowAtOnce)
{
    testdb::fresh();
    db::Dataset corp;
    corp.setUpdateTable(QStringLiteral("corpration"));
    ASSERT_TRUE(corp.open(QStringLiteral("select * from corpration")));
    QString err;
    ASSERT_TRUE(storeSetting(corp, QStringLiteral("paperindex"), 2, &err)) << err.toStdString();
    ASSERT_TRUE(storeSetting(corp, QStringLiteral("p_top"), marginValue(QStringLiteral("7.25")), &err));
    EXPECT_EQ(db::scalar(QStringLiteral("select paperindex from corpration")).toInt(), 2);
    EXPECT_DOUBLE_EQ(db::scalar(QStringLiteral("select p_top from corpration")).toDouble(), 7.25);
    // A column the row does not have is refused and leaves the row browsing.
    EXPECT_FALSE(storeSetting(corp, QStringLiteral("nosuchcolumn"), 1, &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(corp.state(), db::Dataset::State::Browse);
}

// ---- printed reports -----------------------------------------------------------

namespace {

const QString Hospital = QStringLiteral("示例医院");

QVariantMap patientRecord(const QString &sex = QStringLiteral("男"))
{
    return {{QStringLiteral("shelfid"), QStringLiteral("0007")}, {QStringLiteral("name"), QStringLiteral("张三")},
            {QStringLiteral("sex"), sex}, {QStringLiteral("age"), QStringLiteral("35")},
            {QStringLiteral("depart"), QStringLiteral("内科")}, {QStringLiteral("checkdate"), QStringLiteral("2026-12-06")},
            {QStringLiteral("bgtime"), QStringLiteral("09:15")}, {QStringLiteral("operator"), QStringLiteral("王五")}};
}

ResultRow row(const char *name, const char *abbr, const char *value, const char *unit, const char *lo, const char *hi)
{
    ResultRow r;
    r.name = QString::fromUtf8(name);
    r.abbreviation = abbr ? QVariant(QString::fromUtf8(abbr)) : QVariant();
    r.value = QString::fromUtf8(value);
    r.unit = QString::fromUtf8(unit);
    r.manlow = r.womanlow = QString::fromUtf8(lo);
    r.manhigh = r.womanhigh = QString::fromUtf8(hi);
    return r;
}

std::vector<ResultRow> sampleRows()
{
    return {row("白细胞计数", "WBC", "12.5", "10^9/L", "4", "10"),
            row("红细胞计数", "RBC", "3.10", "10^12/L", "4.0", "5.5"),
            row("血红蛋白", "HGB", "10", "g/L", "", "10"),
            row("备注项", nullptr, "abc", "U", "4", ""),
            row("血小板计数", "  ", "250", "10^9/L", "100", "300")};
}

std::vector<ResultRow> manyRows(int n)
{
    std::vector<ResultRow> v;
    for (int i = 1; i <= n; ++i)
        v.push_back(row(QStringLiteral("项目%1").arg(i).toUtf8().constData(), nullptr,
                        QString::number(100 + i).toUtf8().constData(), "U", "1", "2"));
    return v;
}

QImage picture(QColor c)
{
    QImage img(120, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(10, 10, 100, 100, c);
    return img;
}

PrintSettings settings(int paper, int kind = KindGraphic)
{
    PrintSettings s;
    s.printerIndex = 0;
    s.paperIndex = paper;
    s.kind = kind;
    s.top = QStringLiteral("5.0");
    s.left = QStringLiteral("20.0");
    s.bottom = QStringLiteral("10.0");
    s.right = QStringLiteral("20.0");
    return s;
}

constexpr double PxMm = 25.4 / 96;

class SingleReport : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void SetUp() override
    {
        pdf = std::make_shared<report::PdfFileBackend>(tmp.path());
        report::setPrinterBackend(pdf);
    }
    void TearDown() override { report::setPrinterBackend(nullptr); }

    ReportContent content(std::vector<ResultRow> rows = sampleRows(), const QString &sex = QStringLiteral("男"))
    {
        ReportContent c;
        c.hospital = Hospital;
        c.patient = patientRecord(sex);
        c.rows = std::move(rows);
        c.images = {picture(Qt::red), picture(Qt::green), picture(Qt::blue), picture(Qt::magenta)};
        return c;
    }
    // Prints and returns the job's PDF.
    QString print(const PrintSettings &s, const ReportContent &c)
    {
        const size_t before = pdf->jobs().size();
        EXPECT_EQ(resultprint(forms, s, c), QString());
        EXPECT_EQ(pdf->jobs().size(), before + 1);
        return pdf->jobs().back().file;
    }
    static void save(const QString &file, const QString &name)
    {
        pdftools::pageImage(file, 1, 96, pdftools::outputDir() + QLatin1Char('/') + name);
    }

    QTemporaryDir tmp;
    std::shared_ptr<report::PdfFileBackend> pdf;
    ReportForms forms;
};

// The top-left corner of the first word (in reading order) with that text.
QPointF at(const std::vector<pdftools::Word> &ws, const QString &text)
{
    for (const auto &w : ws)
        if (w.text == text)
            return w.mm.topLeft();
    ADD_FAILURE() << "no word " << text.toStdString();
    return {};
}

} // namespace

TEST_F(SingleReport, PaperSizesOfEveryChoice)
{
    struct Expect { int paper; int kind; double w, h; const char *image; };
    const Expect all[] = {{0, 0, 595.28, 420.94, "single-half-148"}, {1, 0, 595.28, 396.00, "single-half-139"},
                          {2, 0, 595.28, 841.89, "single-a4"}, {3, 0, 515.91, 728.50, "single-b5"},
                          {0, 1, 595.28, 841.89, "single-text"}};
    for (const Expect &e : all) {
        SCOPED_TRACE(e.image);
        PrintSettings s = settings(e.paper, e.kind);
        if (e.kind == KindText)
            s.left = QStringLiteral("2%");   // the text report ignores the margins
        const QString file = print(s, content());
        EXPECT_EQ(pdftools::pageCount(file), 1);
        const QSizeF pt = pdftools::pageSizePt(file);
        EXPECT_NEAR(pt.width(), e.w, 0.02);
        EXPECT_NEAR(pt.height(), e.h, 0.02);
        save(file, QLatin1String(e.image));
    }
}

TEST_F(SingleReport, CaptionsTitleAndRowTextsPrintOnce)
{
    // Captions the text form has in both halves ("结果" also in the note).
    const std::map<QString, int> twice{{QStringLiteral("单位"), 2}, {QStringLiteral("中英文名称"), 2},
                                       {QStringLiteral("参考范围"), 2}, {QStringLiteral("结果"), 3}};
    for (const auto &[paper, kind] : {std::pair{0, 0}, std::pair{2, 0}, std::pair{0, 1}}) {
        SCOPED_TRACE(QStringLiteral("kind %1 paper %2").arg(kind).arg(paper).toStdString());
        const QString text = pdftools::compactText(print(settings(paper, kind), content()));
        EXPECT_EQ(pdftools::count(text, Hospital + QStringLiteral("检验报告单")), 1);
        for (const report::ReportItem &it : formFor(forms, layoutFor(settings(paper, kind))).items()) {
            QString caption = it.text;
            caption.remove(QLatin1Char(' '));
            if (it.kind != report::ItemKind::Label || it.name == QLatin1String("QRLabel1")
                || it.name == QLatin1String("QRLabel26") || caption.contains(QStringLiteral("结果")))
                continue;
            EXPECT_EQ(pdftools::count(text, caption), kind == 1 && twice.count(caption) ? twice.at(caption) : 1)
                << caption.toStdString();
        }
        if (kind == 1)
            EXPECT_EQ(pdftools::count(text, QStringLiteral("结果")), 3);
        // Row texts; the item without abbreviation, and the blank one, get no bracket.
        EXPECT_EQ(pdftools::count(text, QStringLiteral("[WBC]")), 1);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("[")), 3);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("4--10")), 1);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("100--300")), 1);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("↑")), kind == 0 ? 1 : 0);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("↓")), kind == 0 ? 1 : 0);
        EXPECT_EQ(pdftools::count(text, QStringLiteral("张三")), 1);
    }
}

TEST_F(SingleReport, HalfSheetRowAtItsColumns)
{
    const QString file = print(settings(0), content());
    const auto ws = pdftools::words(file);
    // Columns against the header captions they hang on (layout pixels).
    const QPointF num = at(ws, QStringLiteral("1")), head = at(ws, QStringLiteral("序号"));
    EXPECT_NEAR(num.x() - head.x(), 3 * PxMm, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("12.5")).x() - at(ws, QStringLiteral("测定值")).x(), 8 * PxMm, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("10^9/L")).x() - at(ws, QStringLiteral("单")).x(), 4 * PxMm, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("4--10")).x() - at(ws, QStringLiteral("参考范围")).x(), 0, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("↑")).x() - at(ws, QStringLiteral("提示")).x(), 8 * PxMm, 0.5);
    // Name after the number column; the abbreviation right after the name.
    const pdftools::Word name = pdftools::findWord(ws, QStringLiteral("白细胞计数"));
    EXPECT_NEAR(name.mm.left() - head.x(), (34 + 1) * PxMm, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("[WBC]")).x() - name.mm.right(), 2 * PxMm, 0.5);
    // Absolute: margins T5 L20, first row at the bottom of QRShape3 (127 px).
    EXPECT_NEAR(num.y(), 5 + 127 * PxMm, 0.5);
    EXPECT_NEAR(num.x(), 20 + 19 * PxMm, 0.5);
    // All of one row on one line; the second row one pitch (13 px) lower.
    for (const char *w : {"白细胞计数", "12.5", "4--10", "↑"})
        EXPECT_NEAR(pdftools::findWord(ws, QString::fromUtf8(w)).mm.top(), num.y(), 0.5) << w;
    EXPECT_NEAR(at(ws, QStringLiteral("2")).y() - num.y(), 13 * PxMm, 0.5);
}

TEST_F(SingleReport, RowPitchChangesAt27Rows)
{
    EXPECT_EQ(rowPitch(Layout::Text, 26), 16);
    for (int paper : {0, 2}) {
        for (int n : {26, 27}) {
            SCOPED_TRACE(QStringLiteral("paper %1 rows %2").arg(paper).arg(n).toStdString());
            const auto ws = pdftools::words(print(settings(paper), content(manyRows(n))));
            const double pitch = (at(ws, QStringLiteral("项目2")).y() - at(ws, QStringLiteral("项目1")).y()) / PxMm;
            const int expect = paper == 0 ? (n < 27 ? 13 : 11) : (n < 27 ? 24 : 23);
            EXPECT_NEAR(pitch, expect, 0.5 / PxMm);
            EXPECT_NEAR(at(ws, QStringLiteral("项目%1").arg(n)).y() - at(ws, QStringLiteral("项目1")).y(),
                        (n - 1) * expect * PxMm, 0.5);
        }
    }
    // The A4 form: first row at the bottom of its QRShape3 (193 px) below the
    // edits' top margin; the value column at QRLabel15 + 8 px.
    const auto ws = pdftools::words(print(settings(2), content()));
    EXPECT_NEAR(at(ws, QStringLiteral("1")).y(), 5 + 193 * PxMm, 0.5);
    EXPECT_NEAR(at(ws, QStringLiteral("12.5")).x(), 20 + 256 * PxMm, 0.5);
}

TEST_F(SingleReport, TextLayoutPutsRow14AtTheTopOfTheRightHalf)
{
    for (int n : {20, 30}) {
        SCOPED_TRACE(n);
        const QString file = print(settings(0, KindText), content(manyRows(n)));
        if (n == 20)
            save(file, QStringLiteral("single-text-20rows"));
        const auto ws = pdftools::words(file);
        const QPointF r1 = at(ws, QStringLiteral("项目1")), r13 = at(ws, QStringLiteral("项目13"));
        const QPointF r14 = at(ws, QStringLiteral("项目14"));
        EXPECT_NEAR(r1.x(), 10 + 1 * PxMm, 0.5);
        EXPECT_NEAR(r1.y(), 5 + 87 * PxMm, 0.5);
        EXPECT_NEAR(r14.y(), r1.y(), 0.5);
        EXPECT_NEAR(r14.x(), 10 + 365 * PxMm, 0.5);
        EXPECT_NEAR(r13.x(), r1.x(), 0.1);
        // Every row stays above the footer line (78.3 mm below the band top).
        EXPECT_LT(at(ws, QStringLiteral("项目%1").arg(n)).y(), 5 + 78.3);
        EXPECT_LT(r13.y(), 5 + 78.3);
        // Value and range columns of the right half hang on its headers.
        EXPECT_NEAR(at(ws, QStringLiteral("114")).x(), 10 + (report::mmToPx(141.8) + 8) * PxMm, 0.5);
    }
}

TEST_F(SingleReport, PicturesAreCopiedIntoTheGraphicLayouts)
{
    for (int paper : {0, 2}) {
        SCOPED_TRACE(paper);
        const QImage page = pdftools::pageImage(print(settings(paper), content()), 1, 96);
        const report::ReportForm &f = formFor(forms, layoutFor(settings(paper)));
        const QColor expect[4] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
        const char *boxes[4] = {"qimg1", "qimg4", "qimg5", "qimg6"};
        for (int i = 0; i < 4; ++i) {
            const QRectF box = f.item(QLatin1String(boxes[i])).mm.translated(20, 5);
            const QPoint c(int(box.center().x() / 25.4 * 96), int(box.center().y() / 25.4 * 96));
            const QColor got = page.pixelColor(c);
            EXPECT_LT(std::abs(got.red() - expect[i].red()) + std::abs(got.green() - expect[i].green())
                          + std::abs(got.blue() - expect[i].blue()), 60)
                << boxes[i] << " " << got.name().toStdString();
        }
    }
    // The text layout has no pictures.
    EXPECT_FALSE(forms.frmtestreport2.find(QStringLiteral("qimg1")));
}

TEST_F(SingleReport, RowLabelsAreFreedAndTheFormIsRecreated)
{
    print(settings(0), content(manyRows(60)));   // more rows than the old fixed arrays held
    for (const auto &it : forms.frmtestreport.items())
        EXPECT_FALSE(it.runtime) << it.name.toStdString();
    // The template's moved footer line is not what a single print uses.
    moveTemplateFooter(forms.frmtestreport);
    EXPECT_NEAR(forms.frmtestreport.item(QStringLiteral("QRShape4")).mm.top(), 116.4, 1e-9);
    // On paper (template margins T5 L20): the line runs through its box's middle.
    report::print(forms.frmtestreport, report::recordFromMap(patientRecord()));
    const QImage page = pdftools::pageImage(pdf->jobs().back().file, 1, 96);
    auto inkAt = [&](double xMm, double yMm) {
        const int x = int(xMm / 25.4 * 96), y = int(yMm / 25.4 * 96);
        for (int dy = -2; dy <= 2; ++dy)
            if (qGray(page.pixel(x, y + dy)) < 128)
                return true;
        return false;
    };
    EXPECT_TRUE(inkAt(20 + 163, 5 + 116.4 + 1.7));
    EXPECT_FALSE(inkAt(20 + 163, 5 + 122.8 + 1.7));
    print(settings(0), content());
    EXPECT_NEAR(forms.frmtestreport.item(QStringLiteral("QRShape4")).mm.top(), 122.8, 1e-9);
}

// ---- one sample, with its first-print stamp ------------------------------------

namespace {

class FailingBackend : public report::ReportPrinterBackend
{
public:
    QStringList printerNames() const override { return {QStringLiteral("PDF")}; }
    void print(const report::PrintJob &) override { throw report::ReportError(QStringLiteral("打印机脱机")); }
    void preview(const report::PrintJob &, QWidget *) override {}
};

class SamplePrintTest : public SingleReport
{
protected:
    void SetUp() override
    {
        SingleReport::SetUp();
        testdb::fresh(false);
        QString err;
        ASSERT_TRUE(db::exec(QStringLiteral("insert into itemtb (itemid, abbreviation, name, unit, printorder, "
                                            "manlow, manhigh, womanlow, womanhigh) values "
                                            "(1, 'WBC', '白细胞计数', '10^9/L', 2, '4', '10', '3.5', '9.5'), "
                                            "(2, 'RBC', '红细胞计数', '10^12/L', 1, '4.0', '5.5', '3.5', '5.0')"),
                             {}, &err)) << err.toStdString();
        ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, checkdate) values "
                                            "('0007', '张三', '女', '2026-12-06'), ('0008', '李四', '男', '2026-12-06')")));
        ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values "
                                            "('0007', '2026-12-06', 1, '12.5'), ('0007', '2026-12-06', 2, '4.2')")));
        session::setClock([this]() { return clock; });
    }
    void TearDown() override
    {
        session::setClock(nullptr);
        SingleReport::TearDown();
    }
    SamplePrint printIt(const QString &id, const PrintSettings &s)
    {
        shownRows = false;
        return printSample(id, s, content({}), forms, patient, rows, graph, [this]() { shownRows = true; });
    }
    QVariant col(const char *c, const QString &id = QStringLiteral("0007"))
    {
        return db::scalar(QStringLiteral("select %1 from patient where shelfid = ?").arg(QLatin1String(c)), {id});
    }

    QDateTime clock{QDate(2026, 12, 6), QTime(9, 41, 30)};
    db::Dataset patient, rows, graph;
    bool shownRows = false;
};

} // namespace

TEST_F(SamplePrintTest, FirstPrintStampsAndASecondKeepsTheTime)
{
    SamplePrint r = printIt(QStringLiteral("0007"), settings(0));
    EXPECT_EQ(r.outcome, SamplePrint::Printed) << r.message.toStdString();
    EXPECT_TRUE(r.stamped);
    EXPECT_TRUE(shownRows);
    EXPECT_EQ(col("bgtime").toString(), QStringLiteral("09:41"));
    EXPECT_EQ(col("printflag").toInt(), 1);
    // The report shows the new time, the rows in print order and the woman's range.
    const QString text = pdftools::compactText(pdf->jobs().back().file);
    EXPECT_EQ(pdftools::count(text, QStringLiteral("09:41")), 1);
    EXPECT_LT(text.indexOf(QStringLiteral("红细胞计数")), text.indexOf(QStringLiteral("白细胞计数")));
    EXPECT_EQ(pdftools::count(text, QStringLiteral("3.5--9.5")), 1);

    clock = clock.addSecs(3600);
    r = printIt(QStringLiteral("0007"), settings(2));
    EXPECT_EQ(r.outcome, SamplePrint::Printed);
    EXPECT_FALSE(r.stamped);
    EXPECT_EQ(col("bgtime").toString(), QStringLiteral("09:41"));
    EXPECT_EQ(pdf->jobs().size(), 2u);
}

TEST_F(SamplePrintTest, RefusedOrFailedPrintsLeaveTheRowAlone)
{
    PrintSettings s = settings(0);
    s.printerIndex = -1;
    SamplePrint r = printIt(QStringLiteral("0007"), s);
    EXPECT_EQ(r.outcome, SamplePrint::Refused);
    EXPECT_EQ(r.message, QStringLiteral("请在[系统设置]--[其它]设置面板中设置打印机"));
    s = settings(-1, KindText);   // the text report needs a paper chosen too
    r = printIt(QStringLiteral("0007"), s);
    EXPECT_EQ(r.message, QStringLiteral("请在[系统设置]--[其它]设置面板中设置纸张"));
    s = settings(0);
    s.bottom = QStringLiteral("'");
    r = printIt(QStringLiteral("0007"), s);
    EXPECT_EQ(r.outcome, SamplePrint::Failed);
    EXPECT_TRUE(r.message.contains(QStringLiteral("'")));
    // A printer index the back end does not know, and a printer that fails.
    s = settings(0);
    s.printerIndex = 3;
    EXPECT_EQ(printIt(QStringLiteral("0007"), s).outcome, SamplePrint::Failed);
    report::setPrinterBackend(std::make_shared<FailingBackend>());
    r = printIt(QStringLiteral("0007"), settings(0));
    EXPECT_EQ(r.outcome, SamplePrint::Failed);
    EXPECT_EQ(r.message, QStringLiteral("打印机脱机"));

    EXPECT_TRUE(col("bgtime").isNull());
    EXPECT_EQ(col("printflag").toInt(), 0);
    EXPECT_TRUE(pdf->jobs().empty());
}

TEST_F(SamplePrintTest, ASampleWithoutResultsPrintsAndStampsNothing)
{
    SamplePrint r = printIt(QStringLiteral("0008"), settings(0));
    EXPECT_EQ(r.outcome, SamplePrint::NothingToPrint);
    EXPECT_FALSE(shownRows);
    r = printIt(QStringLiteral("0009"), settings(0));   // no such sample
    EXPECT_EQ(r.outcome, SamplePrint::NothingToPrint);
    EXPECT_TRUE(col("bgtime", QStringLiteral("0008")).isNull());
    EXPECT_TRUE(pdf->jobs().empty());
    // A sample number with a quote is only ever a bound value.
    EXPECT_EQ(printIt(QStringLiteral("0007' or '1'='1"), settings(0)).outcome, SamplePrint::NothingToPrint);
}
