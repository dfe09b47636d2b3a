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

TEST_F(ReportForms, EveryDesignPrintsOnItsPaper)
{
    struct Expect { const char *name; double w, h; };
    const Expect all[] = {
        {"frmtestreport", 595.28, 841.89}, {"frmtestreport1", 595.28, 841.89}, {"frmtestreport2", 595.28, 841.89},
        {"frmtestreport3", 595.28, 841.89}, {"frmtestreport4", 595.28, 841.89}, {"a4Report", 595.28, 841.89},
        {"a5Report", 515.91, 728.50}, {"frmnomreport", 595.28, 420.94},
    };
    ASSERT_EQ(reports::formNames().size(), 8);
    for (const Expect &e : all) {
        SCOPED_TRACE(e.name);
        const QString file = printed(reports::designOf(QString::fromLatin1(e.name)));
        EXPECT_EQ(pdftools::pageCount(file), 1);
        EXPECT_NEAR(pdftools::pageSizePt(file).width(), e.w, 0.02);
        EXPECT_NEAR(pdftools::pageSizePt(file).height(), e.h, 0.02);
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
    EXPECT_TRUE(blue(20 + 135.5 + 1, 5 + 39.2 + 1));   // qimg1, corner to corner
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
