// A report printed through a real CUPS queue: tests/reports/cups-setup.sh
// makes the queue VORLAN_PDF (cups-pdf) and starts cupsd when needed; the
// test prints a sample's report from the main window on that queue and reads
// back the PDF the queue wrote. Where CUPS cannot run here the test skips.
#include "common/mainwindowtest.h"
#include "pdftools.h"
#include "stamp.h"

#include "app/Unit1.h"
#include "app/session.h"
#include "platform/report/realprinter.h"

#include <QComboBox>
#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QThread>

namespace {

const QString Queue = QStringLiteral("VORLAN_PDF");

QStringList pdfsIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

// Waits (at most a minute) for the queue to write a new PDF and finish it.
QString waitForNewPdf(const QString &dir, const QStringList &before)
{
    for (int i = 0; i < 600; ++i, QThread::msleep(100)) {
        for (const QString &f : pdfsIn(dir)) {
            if (before.contains(f))
                continue;
            QProcess lpstat;
            lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o"), Queue});
            lpstat.waitForFinished(10000);
            if (lpstat.readAllStandardOutput().trimmed().isEmpty())
                return QDir(dir).filePath(f);
        }
    }
    return {};
}

// Which strips of 2 points down the page carry ink.
std::vector<bool> inkedStrips(const QImage &page)
{
    std::vector<bool> out;
    for (int y0 = 0; y0 + 2 <= page.height(); y0 += 2) {
        int dark = 0;
        for (int x = 0; x < page.width(); ++x)
            dark += (qGray(page.pixel(x, y0)) < 128) + (qGray(page.pixel(x, y0 + 1)) < 128);
        out.push_back(dark > 3);
    }
    return out;
}

using CupsPrint = MainWindowTest;

} // namespace

TEST_F(CupsPrint, AReportGoesThroughARealQueue)
{
    // The set-up script prints the folder the queue writes to as its last line.
    QProcess setup;
    setup.start(QStringLiteral("sh"), {qEnvironmentVariable("VORLAN_SOURCE_DIR") + QStringLiteral("/tests/reports/cups-setup.sh")});
    if (!setup.waitForFinished(120000) || setup.exitStatus() != QProcess::NormalExit || setup.exitCode() != 0)
        GTEST_SKIP() << "CUPS is not available here (cups-setup.sh exit " << setup.exitCode()
                     << "): " << setup.readAllStandardError().trimmed().toStdString();
    const QString out = QString::fromLocal8Bit(setup.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')).last().trimmed();
    auto backend = std::make_shared<report::RealPrinterBackend>();
    report::setPrinterBackend(backend);
    session::setWorkdate(QDate(2026, 12, 6));
    addSample(QStringLiteral("0101"), QStringLiteral("张三"), QStringLiteral("12.5"));
    createMain();
    Form1->printSettingsShow();
    // The printer list of the settings page is the system's, the queue in it.
    EXPECT_EQ(Form1->ComboBox6->count(), QPrinterInfo::availablePrinterNames().size());
    Form1->ComboBox6->setCurrentIndex(Form1->ComboBox6->findText(Queue));
    ASSERT_GE(Form1->ComboBox6->currentIndex(), 0) << "printer list lacks the queue";
    Form1->ComboBox7->setCurrentIndex(0);
    Form1->ComboBox8->setCurrentIndex(0);
    Form1->samplePageShow();

    const QStringList before = pdfsIn(out);
    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_NE(stampOf(QStringLiteral("0101")), QStringLiteral("|0"));
    const QString pdf = waitForNewPdf(out, before);
    ASSERT_FALSE(pdf.isEmpty()) << "the queue wrote no PDF into " << out.toStdString();
    const QSizeF pt = pdftools::pageSizePt(pdf);
    EXPECT_TRUE(std::abs(pt.width() - 595.28) < 2 && std::abs(pt.height() - 420.94) < 2) << pt.width() << " x " << pt.height();
    pdftools::savePage(pdf, QStringLiteral("cups-half-sheet"));

    // The queue's renderer drops the text layer's character map, so compare
    // which strips of the paper carry ink with the same report in our own PDF.
    QTemporaryDir tmp;
    auto own = std::make_shared<report::PdfFileBackend>(tmp.path(), backend->printerNames());
    report::setPrinterBackend(own);
    Form1->N3Click();
    ASSERT_EQ(own->jobs().size(), 1u);
    const auto a = inkedStrips(pdftools::pageImage(pdf, 1, 72)), b = inkedStrips(pdftools::pageImage(own->jobs()[0].file, 1, 72));
    ASSERT_NEAR(double(a.size()), double(b.size()), 1);
    int differ = 0, inked = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        differ += a[i] != b[i], inked += b[i];
    EXPECT_GT(inked, 10);
    EXPECT_LE(differ, 2);
}
