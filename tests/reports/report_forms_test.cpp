// The eight patient report designs, printed through the PDF back end and
// read back: paper, captions, positions, rules and picture boxes.
#include "pdftools.h"
#include "platform/report/printing.h"
#include "reports/forms.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace report;

namespace {

const QString Hospital = QStringLiteral("示例医院");

QVariantMap patient()
{
    return {{QStringLiteral("name"), QStringLiteral("张三")},
            {QStringLiteral("sex"), QStringLiteral("男")},
            {QStringLiteral("age"), QStringLiteral("35岁")},
            {QStringLiteral("shelfid"), QStringLiteral("0012")},
            {QStringLiteral("depart"), QStringLiteral("内科")},
            {QStringLiteral("caseno"), QStringLiteral("A123")},
            {QStringLiteral("bedno"), QStringLiteral("12")},
            {QStringLiteral("doctor"), QStringLiteral("李四")},
            {QStringLiteral("kind"), QStringLiteral("全血")},
            {QStringLiteral("diagnose"), QStringLiteral("贫血")},
            {QStringLiteral("takedate"), QDate(2026, 12, 6)},
            {QStringLiteral("taketime"), QStringLiteral("08:30")},
            {QStringLiteral("checkdate"), QStringLiteral("2026-12-07")},
            {QStringLiteral("bgtime"), QStringLiteral("09:15")},
            {QStringLiteral("operator"), QStringLiteral("王五")}};
}

QString titleLabel(const ReportForm &f)
{
    return f.find(QStringLiteral("QRLabel26")) ? QStringLiteral("QRLabel26") : QStringLiteral("QRLabel1");
}

class ReportForms : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { reports::installFontSubstitutions(); }
    void SetUp() override
    {
        pdf = std::make_shared<PdfFileBackend>(tmp.path());
        setPrinterBackend(pdf);
    }
    void TearDown() override { setPrinterBackend(nullptr); }

    // Prints a form as the report builders do (title set), returns its PDF.
    QString printed(ReportForm f, const QVariantMap &rec = patient())
    {
        if (f.find(titleLabel(f)))
            f.setCaption(titleLabel(f), Hospital + QStringLiteral("检验报告单"));
        print(f, recordFromMap(rec));
        return pdf->jobs().back().file;
    }

    QTemporaryDir tmp;
    std::shared_ptr<PdfFileBackend> pdf;
};

} // namespace

TEST_F(ReportForms, EveryDesignHasItsNamesAndPaper)
{
    struct Expect { const char *name; const char *cls; const char *unit; double w, h; double top, left, bottom, right; double bw, bh; };
    const Expect all[] = {
        {"frmtestreport", "Tfrmtestreport", "testreport", 595.28, 841.89, 5, 20, 10, 20, 170.1, 265.6},
        {"frmtestreport1", "Tfrmtestreport1", "testreport1", 595.28, 841.89, 20, 20, 10, 2, 188.1, 265.6},
        {"frmtestreport2", "Tfrmtestreport2", "testreport2", 595.28, 841.89, 5, 10, 5, 5, 195.0, 90.0},
        {"frmtestreport3", "Tfrmtestreport3", "testreport3", 595.28, 841.89, 5, 10, 5, 5, 195.0, 292.1},
        {"frmtestreport4", "Tfrmtestreport4", "testreport4", 595.28, 841.89, 5, 20, 10, 20, 170.1, 265.6},
        {"a4Report", "Ta4Report", "a4rpt", 595.28, 841.89, 10, 10, 10, 10, 190.0, 265.6},
        {"a5Report", "Ta5Report", "a5rpt", 515.91, 728.50, 10, 10, 10, 10, 161.9, 265.6},
        {"frmnomreport", "Tfrmnomreport", "nomreport", 595.28, 420.94, 5, 20, 10, 20, 170.1, 265.6},
    };
    ASSERT_EQ(reports::formNames().size(), 8);
    for (const Expect &e : all) {
        SCOPED_TRACE(e.name);
        const ReportForm f = reports::designOf(QString::fromLatin1(e.name));
        EXPECT_EQ(f.instanceName, QString::fromLatin1(e.name));
        EXPECT_EQ(f.className, QString::fromLatin1(e.cls));
        EXPECT_EQ(f.unitName, QString::fromLatin1(e.unit));
        EXPECT_EQ(f.bandName, QStringLiteral("DetailBand1"));
        EXPECT_EQ(f.orientation, QPageLayout::Portrait);
        EXPECT_EQ(f.zoom, 100);
        EXPECT_EQ(f.copies, 1);
        EXPECT_DOUBLE_EQ(f.marginsMm.top(), e.top);
        EXPECT_DOUBLE_EQ(f.marginsMm.left(), e.left);
        EXPECT_DOUBLE_EQ(f.marginsMm.bottom(), e.bottom);
        EXPECT_DOUBLE_EQ(f.marginsMm.right(), e.right);
        EXPECT_DOUBLE_EQ(f.bandMm.width(), e.bw);
        EXPECT_DOUBLE_EQ(f.bandMm.height(), e.bh);
        const QString file = printed(f);
        EXPECT_EQ(pdftools::pageCount(file), 1);
        const QSizeF pt = pdftools::pageSizePt(file);
        EXPECT_NEAR(pt.width(), e.w, 0.02);
        EXPECT_NEAR(pt.height(), e.h, 0.02);
        pdftools::pageImage(file, 1, 96, pdftools::outputDir() + QLatin1Char('/') + QString::fromLatin1(e.name));
    }
    EXPECT_THROW(reports::designOf(QStringLiteral("nosuchform")), ReportError);

    // The half-sheet papers of the print settings, as printing sets them.
    ReportForm half = ReportForm::instanceOf(reports::frmtestreportDesign());
    half.setPageMm(210, 148.5);
    QString file = printed(half);
    EXPECT_NEAR(pdftools::pageSizePt(file).height(), 420.94, 0.02);
    pdftools::pageImage(file, 1, 96, pdftools::outputDir() + QStringLiteral("/frmtestreport-half"));
    half.setPageMm(210, 139.7);
    file = printed(half);
    EXPECT_NEAR(pdftools::pageSizePt(file).width(), 595.28, 0.02);
    EXPECT_NEAR(pdftools::pageSizePt(file).height(), 396.00, 0.02);
}

TEST_F(ReportForms, EveryFixedCaptionPrintsExactlyOnce)
{
    for (const QString &name : reports::formNames()) {
        SCOPED_TRACE(name.toStdString());
        const ReportForm f = reports::designOf(name);
        const QString text = pdftools::compactText(printed(f));

        std::map<QString, int> captions;
        int dataTexts = 0;
        for (const ReportItem &it : f.items()) {
            if (it.kind == ItemKind::Label && it.name != titleLabel(f))
                ++captions[it.text];
            dataTexts += it.kind == ItemKind::DataText;
        }
        // Once per label, plus where it is part of another caption
        // ("结果" inside the note "注:该结果仅对本次标本负责").
        for (const auto &[caption, n] : captions) {
            int expected = 0;
            for (const auto &[other, m] : captions) {
                QString compact = other;
                compact.remove(QLatin1Char(' '));
                expected += m * pdftools::count(compact, caption);
            }
            EXPECT_GE(expected, n);
            EXPECT_EQ(pdftools::count(text, caption), expected) << caption.toStdString();
        }

        if (f.find(titleLabel(f)))
            EXPECT_EQ(pdftools::count(text, Hospital + QStringLiteral("检验报告单")), 1);
        if (dataTexts > 0) {
            for (const char *v : {"张三", "0012", "内科", "A123", "全血", "2026-12-06", "08:30", "09:15", "王五"})
                EXPECT_EQ(pdftools::count(text, QString::fromUtf8(v)), 1) << v;
        } else {
            EXPECT_TRUE(text.isEmpty());
        }
    }
}

TEST_F(ReportForms, DesignsDifferWhereTheyShould)
{
    const ReportForm half = reports::frmtestreportDesign();
    const ReportForm a4 = reports::frmtestreport1Design();
    const ReportForm a4p = reports::a4ReportDesign();
    const ReportForm b5p = reports::a5ReportDesign();
    const ReportForm nom = reports::frmnomreportDesign();
    const ReportForm text = reports::frmtestreport2Design();

    EXPECT_EQ(half.item(QStringLiteral("QRLabel11")).text, QStringLiteral("病 历 号"));
    EXPECT_EQ(a4.item(QStringLiteral("QRLabel11")).text, QStringLiteral("病 历 号："));
    EXPECT_EQ(half.item(QStringLiteral("QRLabel7")).text, QStringLiteral("注：本结果仅对本次标本负责"));
    EXPECT_EQ(a4.item(QStringLiteral("QRLabel7")).text, QStringLiteral("复 核 者："));
    EXPECT_EQ(text.item(QStringLiteral("QRLabel7")).text, QStringLiteral("审核"));
    EXPECT_EQ(nom.item(QStringLiteral("QRLabel7")).text, QStringLiteral("注：本结果仅对本次标本负责。"));

    // The preview forms: captions in 黑体, key data not bold, no note, taller instrument line.
    for (const ReportForm *f : {&a4p, &b5p}) {
        EXPECT_EQ(f->find(QStringLiteral("QRLabel8")), nullptr);
        EXPECT_EQ(f->item(QStringLiteral("QRLabel2")).font.family, QStringLiteral("黑体"));
        EXPECT_EQ(f->item(QStringLiteral("QRLabel13")).font.family, QStringLiteral("黑体"));
        EXPECT_EQ(f->item(QStringLiteral("QRLabel7")).font.family, QStringLiteral("宋体"));
        EXPECT_FALSE(f->item(QStringLiteral("QRDBText1")).font.bold);
        EXPECT_EQ(f->item(QStringLiteral("QRDBText4")).font.family, QStringLiteral("宋体"));
        EXPECT_DOUBLE_EQ(f->item(QStringLiteral("frmtestreport")).mm.height(), 7.1);
    }
    EXPECT_TRUE(a4.item(QStringLiteral("QRDBText1")).font.bold);
    EXPECT_EQ(a4.item(QStringLiteral("QRLabel2")).font.family, QStringLiteral("宋体"));
    EXPECT_DOUBLE_EQ(a4.item(QStringLiteral("frmtestreport")).mm.height(), 5.3);
    EXPECT_EQ(a4.item(QStringLiteral("frmtestreport")).text, QStringLiteral("QEL VORLEN 60 五分类血细胞计数仪"));

    // frmnomreport: its own title and rows, no QRLabel26.
    EXPECT_EQ(nom.find(QStringLiteral("QRLabel26")), nullptr);
    EXPECT_EQ(nom.item(QStringLiteral("QRLabel1")).mm, QRectF(14.8, 0.0, 140.0, 6.6));
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRLabel1")).font.pointSize, 18);
    for (const char *n : {"QRLabel2", "QRDBText1", "QRDBText4"})
        EXPECT_DOUBLE_EQ(nom.item(QString::fromLatin1(n)).mm.top(), 15.9) << n;
    for (const char *n : {"QRLabel5", "QRDBText12"})
        EXPECT_DOUBLE_EQ(nom.item(QString::fromLatin1(n)).mm.top(), 20.6) << n;
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRDBText8")).mm.top(), 25.4);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRShape2")).mm.top(), 29.1);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRShape3")).mm.top(), 34.9);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRLabel15")).mm.top(), 31.8);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRShape4")).mm.top(), 120.7);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRLabel21")).mm.top(), 123.3);
    EXPECT_DOUBLE_EQ(nom.item(QStringLiteral("QRDBText13")).mm.top(), 123.0);
    EXPECT_EQ(nom.item(QStringLiteral("QRLabel2")).font.family, QStringLiteral("黑体"));
    EXPECT_EQ(nom.item(QStringLiteral("QRDBText1")).font.family, QStringLiteral("宋体"));
    EXPECT_FALSE(nom.item(QStringLiteral("QRDBText1")).font.bold);

    // The fields each layout shows; the times keep their width.
    auto fields = [](const ReportForm &f) {
        QStringList out;
        for (const ReportItem &it : f.items())
            if (it.kind == ItemKind::DataText)
                out << it.field;
        out.sort();
        return out;
    };
    QStringList g = reports::graphicFormFields(), t = reports::textFormFields();
    g.sort();
    t.sort();
    EXPECT_EQ(g.size(), 15);
    EXPECT_EQ(t.size(), 13);
    for (const ReportForm *f : {&half, &a4, &a4p, &b5p, &nom})
        EXPECT_EQ(fields(*f), g) << f->instanceName.toStdString();
    EXPECT_EQ(fields(text), t);
    EXPECT_FALSE(half.item(QStringLiteral("QRDBText16")).autoSize);
    EXPECT_FALSE(text.item(QStringLiteral("QRDBText17")).autoSize);
    EXPECT_TRUE(half.item(QStringLiteral("QRDBText13")).autoSize);

    // The text form's divider is vertical; the batch page forms are empty.
    EXPECT_EQ(text.item(QStringLiteral("QRShape3")).kind, ItemKind::VLine);
    EXPECT_TRUE(reports::frmtestreport3Design().items().empty());
    EXPECT_TRUE(reports::frmtestreport4Design().items().empty());
}

TEST_F(ReportForms, HalfSheetPositionsOnThePage)
{
    ReportForm f = ReportForm::instanceOf(reports::frmtestreportDesign());
    f.setPageMm(210, 148.5);
    f.setMargins(5, 20, 10, 20);
    const auto ws = pdftools::words(printed(f));
    auto at = [&](const QString &t) {
        const auto w = pdftools::findWord(ws, t);
        EXPECT_FALSE(w.text.isEmpty()) << t.toStdString();
        return w.mm;
    };
    const QRectF name = at(QStringLiteral("姓"));
    EXPECT_NEAR(name.left(), 24.2, 0.5);
    EXPECT_NEAR(name.top(), 19.8, 0.5);
    // Relative to the first caption: the row and the column anchors.
    EXPECT_NEAR(at(QStringLiteral("性")).left() - name.left(), 44.5, 0.5);
    EXPECT_NEAR(at(QStringLiteral("样本编号")).left() - name.left(), 127.0, 0.5);
    EXPECT_NEAR(at(QStringLiteral("科")).top() - name.top(), 4.8, 0.5);
    EXPECT_NEAR(at(QStringLiteral("测定值")).left() - name.left(), 61.4, 0.5);
    EXPECT_NEAR(at(QStringLiteral("测定值")).top() - name.top(), 14.3, 0.5);
    EXPECT_NEAR(at(QStringLiteral("张三")).left() - name.left(), 19.1, 0.5);
    EXPECT_NEAR(at(QStringLiteral("注")).top() - name.top(), 115.9, 0.5);
    EXPECT_NEAR(at(QStringLiteral("送检时间")).left() - name.left(), 1.1, 0.5);
    // The title is centred over the band's 161.1 mm box.
    const QRectF hosp = at(QStringLiteral("示例医院"));
    const QRectF title = at(QStringLiteral("检验报告单"));
    EXPECT_NEAR((hosp.left() + title.right()) / 2, 104.75, 0.5);
}

TEST_F(ReportForms, RulesImagesAndTheVerticalDivider)
{
    ReportForm f = ReportForm::instanceOf(reports::frmtestreportDesign());
    f.setPageMm(210, 148.5);
    QImage pic(60, 60, QImage::Format_RGB32);
    pic.fill(QColor(0, 0, 200));
    for (const char *n : {"qimg1", "qimg4", "qimg5", "qimg6"})
        f.setImage(QString::fromLatin1(n), pic);
    const QImage page = pdftools::pageImage(printed(f), 1, 96,
                                            pdftools::outputDir() + QStringLiteral("/frmtestreport-images"));
    ASSERT_FALSE(page.isNull());
    const double s = 96 / 25.4;

    // A horizontal rule: some pixel row around its centre is dark from end to end.
    auto ruleAt = [&](double centreMm, double leftMm, double widthMm) {
        for (int y = int((centreMm - 1) * s); y <= int((centreMm + 1) * s); ++y) {
            int n = 0, total = 0;
            for (int x = int((leftMm + 1) * s); x < int((leftMm + widthMm - 1) * s); ++x, ++total)
                n += qGray(page.pixel(x, y)) < 128;
            if (n > total * 95 / 100)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(ruleAt(5 + 28.65, 24.2, 161.4));   // QRShape2
    EXPECT_TRUE(ruleAt(5 + 32.95, 24.2, 161.4));   // QRShape3
    EXPECT_TRUE(ruleAt(5 + 124.5, 24.2, 161.4));   // QRShape4
    EXPECT_FALSE(ruleAt(5 + 60, 24.2, 161.4));

    // The pictures fill their boxes; beside them the page is white.
    auto blue = [&](double xmm, double ymm) {
        const QColor c = page.pixelColor(int(xmm * s), int(ymm * s));
        return c.blue() > 150 && c.red() < 80;
    };
    EXPECT_TRUE(blue(20 + 135.5 + 14.5, 5 + 39.2 + 14.5));   // qimg1
    EXPECT_TRUE(blue(20 + 135.5 + 1, 5 + 39.2 + 1));
    EXPECT_TRUE(blue(20 + 135.5 + 28, 5 + 39.2 + 28));
    EXPECT_TRUE(blue(20 + 135.5 + 14.5, 5 + 73.0 + 6.6));    // qimg4
    EXPECT_TRUE(blue(20 + 135.5 + 14.5, 5 + 89.4 + 6.6));    // qimg5
    EXPECT_TRUE(blue(20 + 135.5 + 14.5, 5 + 105.3 + 6.6));   // qimg6
    EXPECT_FALSE(blue(20 + 135.5 + 14.5, 5 + 70.5));          // between qimg1 and qimg4

    // The text form's vertical divider at 10 + 96.05 mm from 22.5 to 84.9 mm.
    const QImage text = pdftools::pageImage(printed(reports::frmtestreport2Design()), 1, 96);
    auto darkColumn = [&](double xmm, double fromMm, double toMm) {
        for (int x = int((xmm - 0.6) * s); x <= int((xmm + 0.6) * s); ++x) {
            int n = 0, total = 0;
            for (int y = int(fromMm * s); y < int(toMm * s); ++y, ++total)
                n += qGray(text.pixel(x, y)) < 160;
            if (n > total * 95 / 100)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(darkColumn(10 + 96.05, 5 + 18.5, 5 + 79));
    EXPECT_FALSE(darkColumn(10 + 96.05, 5 + 82, 5 + 88));
}

TEST_F(ReportForms, TheMovedFooterLineComesBackOnRecreate)
{
    // The print settings move the live template's footer line; a single
    // print recreates the form and draws it where the design has it.
    ReportForm f = ReportForm::instanceOf(reports::frmtestreportDesign());
    ReportItem &line = f.item(QStringLiteral("QRShape4"));
    QRect px = line.pxRect(f.zoom);
    px.moveTop(440);
    f.setPx(line, px);
    EXPECT_NEAR(f.item(QStringLiteral("QRShape4")).mm.top(), 116.4, 0.05);
    f.recreate();
    EXPECT_DOUBLE_EQ(f.item(QStringLiteral("QRShape4")).mm.top(), 122.8);
    EXPECT_EQ(f.px(QStringLiteral("QRShape4")).top(), 464);
}
