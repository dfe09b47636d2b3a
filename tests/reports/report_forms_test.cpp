// The eight patient report designs, printed through the PDF back end and
// read back: one page, every fixed caption once, the title and the data texts.
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
    QVariantMap p{{QStringLiteral("takedate"), QDate(2026, 12, 6)}};
    const char *fields[][2] = {{"name", "张三"}, {"sex", "男"}, {"age", "35岁"}, {"shelfid", "0012"}, {"depart", "内科"},
                               {"caseno", "A123"}, {"bedno", "12"}, {"doctor", "李四"}, {"kind", "全血"}, {"diagnose", "贫血"},
                               {"taketime", "08:30"}, {"checkdate", "2026-12-07"}, {"bgtime", "09:15"}, {"operator", "王五"}};
    for (const auto &[field, value] : fields)
        p.insert(QLatin1String(field), QString::fromUtf8(value));
    return p;
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

TEST_F(ReportForms, EveryDesignPrintsItsCaptionsOnce)
{
    ASSERT_EQ(reports::formNames().size(), 8);
    for (const QString &name : reports::formNames()) {
        SCOPED_TRACE(name.toStdString());
        const ReportForm f = reports::designOf(name);
        const QString file = printed(f);
        EXPECT_EQ(pdftools::pageCount(file), 1);
        pdftools::savePage(file, name);

        const QString text = pdftools::compactText(file);
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
            for (const auto &[other, m] : captions)
                expected += m * pdftools::count(QString(other).remove(QLatin1Char(' ')), caption);
            EXPECT_GE(expected, n);
            EXPECT_EQ(pdftools::count(text, caption), expected) << caption.toStdString();
        }
        if (f.find(titleLabel(f)))
            EXPECT_EQ(pdftools::count(text, Hospital + QStringLiteral("检验报告单")), 1);
        if (dataTexts == 0)
            EXPECT_TRUE(text.isEmpty());
        for (const char *v : {"张三", "0012", "内科", "A123", "全血", "2026-12-06", "08:30", "09:15", "王五"})
            EXPECT_EQ(pdftools::count(text, QString::fromUtf8(v)), dataTexts > 0 ? 1 : 0) << v;
    }
    EXPECT_THROW(reports::designOf(QStringLiteral("nosuchform")), ReportError);
}
