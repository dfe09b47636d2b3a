// A report printed through a real CUPS queue: tests/reports/cups-setup.sh
// makes the queue VORLAN_PDF (cups-pdf) and starts cupsd when needed; the
// test prints a sample's report from the main window on that queue and reads
// back the PDF the queue wrote. Where CUPS cannot run here the test skips.
#include "common/dialogscript.h"
#include "common/testdb.h"
#include "pdftools.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/session.h"
#include "platform/db/command.h"
#include "platform/report/printing.h"
#include "platform/report/realprinter.h"
#include "reports/forms.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString Queue = QStringLiteral("VORLAN_PDF");

// Runs the set-up script; the folder the queue writes to, or why not.
bool setUpQueue(QString *outDir, QString *why)
{
    const QString script = qEnvironmentVariable("VORLAN_SOURCE_DIR") + QStringLiteral("/tests/reports/cups-setup.sh");
    if (!QFileInfo::exists(script)) {
        *why = QStringLiteral("set-up script not found: ") + script;
        return false;
    }
    QProcess p;
    p.start(QStringLiteral("sh"), {script});
    if (!p.waitForFinished(120000)) {
        *why = QStringLiteral("set-up script did not finish");
        p.kill();
        return false;
    }
    const QStringList lines = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *why = QStringLiteral("CUPS is not available here (cups-setup.sh exit %1): %2")
                   .arg(p.exitCode())
                   .arg(QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
        return false;
    }
    *outDir = lines.last().trimmed();
    return true;
}

QStringList pdfsIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

// Waits for the queue to write a new PDF and finish it.
QString waitForNewPdf(const QString &dir, const QStringList &before)
{
    for (int i = 0; i < 600; ++i) {   // at most a minute
        for (const QString &f : pdfsIn(dir)) {
            if (before.contains(f))
                continue;
            QProcess lpstat;
            lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o"), Queue});
            lpstat.waitForFinished(10000);
            if (lpstat.readAllStandardOutput().trimmed().isEmpty())
                return QDir(dir).filePath(f);
        }
        QThread::msleep(100);
    }
    return {};
}

// For each strip of 2 points down the page: does it carry ink?
std::vector<bool> inkedStrips(const QImage &page)
{
    std::vector<bool> out;
    for (int y0 = 0; y0 + 2 <= page.height(); y0 += 2) {
        int dark = 0;
        for (int y = y0; y < y0 + 2; ++y)
            for (int x = 0; x < page.width(); ++x)
                dark += qGray(page.pixel(x, y)) < 128;
        out.push_back(dark > 3);
    }
    return out;
}

} // namespace

TEST(CupsPrint, AReportGoesThroughARealQueue)
{
    QString out, why;
    if (!setUpQueue(&out, &why))
        GTEST_SKIP() << why.toStdString();

    reports::installFontSubstitutions();
    auto backend = std::make_shared<report::RealPrinterBackend>();
    report::setPrinterBackend(backend);
    // The printer list of the settings page holds the queue.
    ASSERT_TRUE(QPrinterInfo::availablePrinterNames().contains(Queue));

    DialogScript dialogs;
    dbdata = new Tdbdata(testdb::fresh());
    ASSERT_TRUE(dbdata->connected());
    session::setWorkdate(QDate(2026, 12, 6));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, checkdate, printflag) "
                                        "values ('0101', '张三', '男', '2026-12-06', 0)")));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) "
                                        "values ('0101', '2026-12-06', 1, '12.5')")));
    Form1 = new TForm1;
    Form1->buildPrintSettings();
    Form1->printSettingsShow();
    const int index = Form1->ComboBox6->findText(Queue);
    ASSERT_GE(index, 0) << "printer list lacks the queue";
    EXPECT_EQ(Form1->ComboBox6->count(), QPrinterInfo::availablePrinterNames().size());
    Form1->ComboBox6->setCurrentIndex(index);
    Form1->ComboBox7->setCurrentIndex(0);
    Form1->ComboBox8->setCurrentIndex(0);
    Form1->Edit6->setText(QStringLiteral("5.0"));
    Form1->Edit7->setText(QStringLiteral("20.0"));
    Form1->Edit8->setText(QStringLiteral("10.0"));
    Form1->Edit9->setText(QStringLiteral("20.0"));
    Form1->samplePageShow();

    const QStringList before = pdfsIn(out);
    dialogs.clear();
    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_FALSE(db::scalar(QStringLiteral("select bgtime from patient where shelfid='0101'")).isNull());

    const QString pdf = waitForNewPdf(out, before);
    ASSERT_FALSE(pdf.isEmpty()) << "the queue wrote no PDF into " << out.toStdString();
    const QSizeF pt = pdftools::pageSizePt(pdf);
    EXPECT_NEAR(pt.width(), 595.28, 2);
    EXPECT_NEAR(pt.height(), 420.94, 2);
    // The queue's renderer drops the text layer's character map, so compare
    // what is on the paper with the same report printed to our own PDF.
    QTemporaryDir tmp;
    auto own = std::make_shared<report::PdfFileBackend>(tmp.path(), backend->printerNames());
    report::setPrinterBackend(own);
    Form1->N3Click();
    ASSERT_EQ(own->jobs().size(), 1u);
    const QImage viaCups = pdftools::pageImage(pdf, 1, 72), viaPdf = pdftools::pageImage(own->jobs()[0].file, 1, 72);
    ASSERT_NEAR(viaCups.height(), viaPdf.height(), 2);
    const std::vector<bool> a = inkedStrips(viaCups), b = inkedStrips(viaPdf);
    int differ = 0, inked = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        differ += a[i] != b[i];
        inked += b[i];
    }
    EXPECT_GT(inked, 10);
    EXPECT_LE(differ, 2);
    pdftools::pageImage(pdf, 1, 96, pdftools::outputDir() + QStringLiteral("/cups-half-sheet"));

    delete Form1;
    Form1 = nullptr;
    delete dbdata;
    dbdata = nullptr;
    report::setPrinterBackend(nullptr);
}
