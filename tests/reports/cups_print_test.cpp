// Reports printed through real CUPS queues: tests/reports/cups-setup.sh
// makes the queues (cups-pdf) and starts cupsd when needed; the tests print a
// sample's report from the main window and look at what the queue got: the
// PDF it wrote and the sheet the job asked for, a job waiting on a stopped
// printer, or nothing at all when the queue refuses jobs. Where CUPS cannot
// run here the tests skip.
#include "printwindow.h"

#include "platform/report/realprinter.h"
#include "platform/report/reportpreview.h"
#include "platform/widgets/statusbar.h"

#include <QProcess>
#include <QTabWidget>
#include <QScopeGuard>
#include <QThread>
#include <optional>

#include <cups/cups.h>

namespace {

const QString Queue = "VORLAN_PDF";

// Runs a command; what it printed, nullopt when it failed (its complaints
// go to the test's output).
std::optional<QString> run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The jobs waiting on a queue, one line each ("QUEUE-id user size date").
QStringList jobsOn(const QString &queue) { return run("lpstat", {"-o", queue}).value_or(QString()).split('\n', Qt::SkipEmptyParts); }
QStringList pdfsIn(const QString &dir) { return QDir(dir).entryList({"*.pdf"}, QDir::Files, QDir::Name); }

// Waits (at most a minute) for the queue to write a new PDF and finish it.
QString waitForNewPdf(const QString &dir, const QStringList &before)
{
    for (int i = 0; i < 600; ++i, QThread::msleep(100))
        for (const QString &f : pdfsIn(dir))
            if (!before.contains(f) && jobsOn(Queue).isEmpty())
                return QDir(dir).filePath(f);
    return {};
}

// The sheet a job asked its queue for (its "media").
std::string jobMedia(int id)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const QByteArray uri = QString("ipp://localhost/jobs/%1").arg(id).toUtf8();
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "media");
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    ipp_attribute_t *media = ippFindAttribute(response, "media", IPP_TAG_ZERO);
    const char *name = media ? ippGetString(media, 0, nullptr) : nullptr;
    const std::string out = name ? name : std::string("no media (") + cupsLastErrorString() + ")";
    ippDelete(response);
    return out;
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

class CupsPrint : public PrintingWindow
{
protected:
    // Runs the set-up script with further queues; returns the folder the
    // queues write to, or an empty text (the test then skips).
    QString setUpQueues(const QStringList &queues = {})
    {
        const auto out = run("sh", QStringList{qEnvironmentVariable("VORLAN_SOURCE_DIR") + "/tests/reports/cups-setup.sh"} + queues);
        return out ? out->trimmed().split('\n').last().trimmed() : QString();
    }

    // The main window with one sample, the real back end and a queue chosen
    // on the settings page for the graphic half-sheet report.
    void printOn(const QString &queue, const std::shared_ptr<report::RealPrinterBackend> &real)
    {
        report::setPrinterBackend(real);
        addSample("0101", "张三", "12.5");
        start(0, 0);
        Form1->ComboBox6->setCurrentIndex(Form1->ComboBox6->findText(queue));
        ASSERT_GE(Form1->ComboBox6->currentIndex(), 0) << "printer list lacks " << queue.toStdString();
    }
};

} // namespace

TEST_F(CupsPrint, AReportGoesThroughARealQueue)
{
    const QString out = setUpQueues();
    if (out.isEmpty())
        GTEST_SKIP() << "CUPS is not available here (see cups-setup.sh above)";
    auto real = std::make_shared<report::RealPrinterBackend>();
    printOn(Queue, real);
    // The printer list of the settings page is the system's, the queue in it.
    EXPECT_EQ(Form1->ComboBox6->count(), report::installedPrinterNames().size());

    const QStringList before = pdfsIn(out);
    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_NE(stampOf("0101"), "|0");
    const QString pdf = waitForNewPdf(out, before);
    ASSERT_FALSE(pdf.isEmpty()) << "the queue wrote no PDF into " << out.toStdString();
    const QSizeF pt = pdftools::pageSizePt(pdf);
    EXPECT_TRUE(std::abs(pt.width() - 595.28) < 2 && std::abs(pt.height() - 420.94) < 2) << pt.width() << " x " << pt.height();
    pdftools::savePage(pdf, "cups-half-sheet");

    // The queue's renderer drops the text layer's character map, so compare
    // which strips of the paper carry ink with the same report in our own PDF.
    QTemporaryDir tmp;
    auto own = std::make_shared<report::PdfFileBackend>(tmp.path(), real->printerNames());
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

// The fourth paper is B5: the job asks the queue for that sheet by its
// name, and the queue lays the report out on 182 x 257 mm.
TEST_F(CupsPrint, B5IsTheSheetTheJobAsksFor)
{
    const QString out = setUpQueues();
    if (out.isEmpty())
        GTEST_SKIP() << "CUPS is not available here (see cups-setup.sh above)";
    auto real = std::make_shared<report::RealPrinterBackend>();
    printOn(Queue, real);
    Form1->ComboBox7->setCurrentIndex(reports::PaperB5);
    Form1->N3Click();
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    const int id = real->lastJobId();
    EXPECT_EQ(jobMedia(id), "jis_b5_182x257mm");

    QString pdf;
    const QString ending = QString("-job_%1.pdf").arg(id);
    for (int i = 0; i < 600 && pdf.isEmpty(); ++i, QThread::msleep(100))
        for (const QString &f : pdfsIn(out))
            if (f.endsWith(ending) && !jobsOn(Queue).join('\n').contains(QString("%1-%2 ").arg(Queue).arg(id)))
                pdf = QDir(out).filePath(f);
    ASSERT_FALSE(pdf.isEmpty()) << "the queue wrote no " << ending.toStdString() << " into " << out.toStdString();
    const QSizeF mm = pdftools::pageSizePt(pdf) * 25.4 / 72;
    EXPECT_TRUE(std::abs(mm.width() - 182) < 1 && std::abs(mm.height() - 257) < 1) << mm.width() << " x " << mm.height() << " mm";
}

TEST_F(CupsPrint, AJobTheQueueRefusesIsNotStampedAndSaysWhy)
{
    const QString refusing = "VORLAN_REFUSE";
    if (setUpQueues({refusing}).isEmpty())
        GTEST_SKIP() << "CUPS is not available here (see cups-setup.sh above)";
    ASSERT_TRUE(run("cupsreject", {"-r", "test", refusing}).has_value());
    const auto accept = qScopeGuard([&] { run("cupsaccept", {refusing}); });

    printOn(refusing, std::make_shared<report::RealPrinterBackend>());
    Form1->N3Click();
    EXPECT_EQ(stampOf("0101"), "|0");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains("没有接受打印任务") && dialogs.last().contains(refusing)) << dialogs.last().toStdString();
    EXPECT_TRUE(jobsOn(refusing).isEmpty());
}

TEST_F(CupsPrint, AJobWaitingOnAStoppedPrinterIsHandedOverToThePrinterShown)
{
    const QString stopped = "VORLAN_STOPPED", added = "VORLAN_ADDED";
    run("lpadmin", {"-x", added});
    if (setUpQueues({stopped}).isEmpty())
        GTEST_SKIP() << "CUPS is not available here (see cups-setup.sh above)";
    run("cancel", {"-a", stopped});
    ASSERT_TRUE(run("cupsdisable", {stopped}).has_value());
    const auto cleanUp = qScopeGuard([&] {
        run("cancel", {"-a", stopped});
        run("cupsenable", {stopped});
        run("lpadmin", {"-x", added});
    });

    auto real = std::make_shared<report::RealPrinterBackend>();
    printOn(stopped, real);
    // A queue added while the program runs sorts before the chosen one; the
    // chosen index still means the printer the settings page shows.
    ASSERT_FALSE(setUpQueues({added}).isEmpty());
    ASSERT_LT(report::installedPrinterNames().indexOf(added), report::installedPrinterNames().indexOf(stopped));

    Form1->N3Click();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.last().toStdString();
    EXPECT_NE(stampOf("0101"), "|0");
    const QStringList jobs = jobsOn(stopped);
    ASSERT_EQ(jobs.size(), 1) << jobs.join('\n').toStdString();
    EXPECT_TRUE(jobs[0].startsWith(QString("%1-%2 ").arg(stopped).arg(real->lastJobId()))) << jobs[0].toStdString();
    EXPECT_TRUE(jobsOn(added).isEmpty());
}

// A queue chosen on the settings page and removed before the next start
// takes no print from any path: the single report, the batch in both sheet
// layouts, the stub list and the control chart each ask for a printer, no
// job goes to the default queue instead, and no sample is marked printed.
// With no printer ever chosen, the same paths keep printing on the default.
TEST_F(CupsPrint, AChosenQueueThatIsGoneTakesNoPrintFromAnyPath)
{
    const QString tag = QString("I21PRINT_%1_").arg(QCoreApplication::applicationPid());
    const QString chosen = tag + "CHOSEN", fallback = tag + "DEFAULT";
    const QByteArray oldDefault = qgetenv("LPDEST");
    const auto cleanUp = qScopeGuard([&] {
        run("cancel", {"-a", fallback});
        for (const QString &q : {chosen, fallback})
            run("lpadmin", {"-x", q});
        oldDefault.isNull() ? qunsetenv("LPDEST") : qputenv("LPDEST", oldDefault);
    });
    if (setUpQueues({chosen, fallback}).isEmpty())
        GTEST_SKIP() << "CUPS is not available here (see cups-setup.sh above)";
    // The default queue holds what it is given, so that every job sent there
    // is still to be seen.
    ASSERT_TRUE(run("cupsdisable", {fallback}).has_value());
    qputenv("LPDEST", fallback.toUtf8());

    addSample("0102", "李四", "7.5");
    printOn(chosen, std::make_shared<report::RealPrinterBackend>());
    pick(Form1->ComboBox6, Form1->ComboBox6->currentIndex());
    pick(Form1->ComboBox7, reports::PaperHalfA4);
    pick(Form1->ComboBox8, reports::KindGraphic);
    // A month of control values for the chart.
    ASSERT_TRUE(db::exec("insert into qcpara (zkyear, zkmonth, itemno) select 2026, 12, itemid from itemtb"));
    ASSERT_TRUE(db::exec("update qcpara set xb1=5, s1=0.5 where itemno=1"));
    ASSERT_TRUE(db::exec("insert into qctb (qcdate, itemid, value1) values ('2026-12-01', 1, '5.2'), ('2026-12-02', 1, '4.8')"));

    // The chart's preview, when it opens, is printed from as a user does.
    QStringList previews;
    QTimer previewWatch;
    QObject::connect(&previewWatch, &QTimer::timeout, [&] {
        if (auto *p = qobject_cast<report::ReportPreviewDialog *>(QApplication::activeModalWidget())) {
            previews << p->windowTitle();
            p->printJob();
            p->accept();
        }
    });
    previewWatch.start(20);
    const auto chartPrint = [] {
        Form1->PageControl1->setCurrentIndex(2);
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        Form1->PageControl1->setCurrentIndex(0);
    };
    const QString askForPrinter = "请在[系统设置]--[其它]设置面板中设置打印机";

    ASSERT_TRUE(run("lpadmin", {"-x", chosen}).has_value());
    auto real = std::make_shared<report::RealPrinterBackend>();
    restart(real);
    ASSERT_EQ(Form1->ComboBox6->currentIndex(), -1);
    dialogs.clear();
    Form1->N3Click();
    batch("1", "200");
    pick(Form1->ComboBox8, reports::KindText);
    batch("1", "200");
    stub([] { Form4->Button1->click(); });
    chartPrint();
    EXPECT_EQ(dialogs.shown.join('\n').toStdString(), QStringList(5, askForPrinter).join('\n').toStdString());
    EXPECT_TRUE(previews.isEmpty()) << previews.join(' ').toStdString();
    EXPECT_EQ(real->lastJobId(), 0);   // no queue at all was given a job
    EXPECT_TRUE(jobsOn(fallback).isEmpty()) << jobsOn(fallback).join('\n').toStdString();
    EXPECT_EQ((stampOf("0101") + ' ' + stampOf("0102")).toStdString(), "|0 |0");
    EXPECT_EQ(db::scalar("select count(*) from patient where printflag <> 0 or bgtime is not null").toInt(), 0);
    expectIdle();

    // Never chosen: the default queue, as always.
    ASSERT_TRUE(db::exec("update corpration set prntindex = null, prntname = null"));
    restart(std::make_shared<report::RealPrinterBackend>());
    dialogs.clear();
    batch("1", "200");
    stub([] { Form4->Button1->click(); });
    chartPrint();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(previews.size(), 1);
    EXPECT_EQ(jobsOn(fallback).size(), 3) << jobsOn(fallback).join('\n').toStdString();
    EXPECT_EQ((stampOf("0101") + ' ' + stampOf("0102")).toStdString(), "10:05|1 10:05|1");
}
