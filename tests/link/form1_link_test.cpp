// The analyser link through the main window: the simulator writes records
// into a pseudo-terminal, the window's serial control receives them, the
// rows land in the day tables, the lamp and status bar follow, and a
// malformed number is corrected in the grid.
#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/appsetup.h"
#include "app/oprinput.h"
#include "app/pssinput.h"
#include "app/session.h"
#include "common/dialogscript.h"
#include "common/testdb.h"
#include "link/linkreceiver.h"
#include "link/resultstore.h"
#include "recordgen.h"
#include "platform/comm/commcontrol.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThread>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 30000; // waiting on other processes, not a speed check

class MainWindowLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installChineseFonts();
        path = testdb::fresh(true);
        dbdata = new Tdbdata(path);
        ASSERT_TRUE(dbdata->connected());
        frmoprput = new Tfrmoprput;
        frmpssinput = new Tfrmpssinput;
        session::setCurrentOperator(QStringLiteral("malvor"));
        dir = testdb::tempDir();
    }
    void TearDown() override
    {
        delete Form1;
        Form1 = nullptr;
        delete frmpssinput;
        delete frmoprput;
        delete dbdata;
        frmpssinput = nullptr;
        frmoprput = nullptr;
        dbdata = nullptr;
        stopSocat();
        qunsetenv("VORLAN_SERIAL");
    }

    bool startSocat()
    {
        a = dir + QStringLiteral("/x1");
        b = dir + QStringLiteral("/x2");
        socat.start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0,link=") + a,
                                              QStringLiteral("pty,raw,echo=0,link=") + b});
        if (!socat.waitForStarted(kWaitMs))
            return false;
        const QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired() && !(QFile::exists(a) && QFile::exists(b)))
            QThread::msleep(20);
        return QFile::exists(a) && QFile::exists(b);
    }
    void stopSocat()
    {
        if (socat.state() != QProcess::NotRunning) {
            socat.terminate();
            socat.waitForFinished(kWaitMs);
        }
    }

    void showMain()
    {
        Form1 = new TForm1;
        Form1->show();
        QApplication::processEvents();
        QApplication::processEvents();
    }

    bool runSimulator(const QStringList &args)
    {
        const QString sim = qEnvironmentVariable("VORLAN_BINARY_DIR") + QStringLiteral("/tools/analyser-sim/analyser-sim");
        QProcess p;
        p.start(sim, QStringList{QStringLiteral("--db"), path, QStringLiteral("--out"), b, QStringLiteral("--fast")} + args);
        return p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    static int graphRows()
    {
        return db::scalar(QStringLiteral("SELECT count(*) FROM gresult")).toInt();
    }
    static void waitForGraphRows(int n)
    {
        const QDeadlineTimer deadline(kWaitMs);
        while (graphRows() < n && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(5);
        }
    }

    QString path, dir, a, b;
    QProcess socat;
    DialogScript dialogs;
};

} // namespace

TEST_F(MainWindowLink, RecordsFromTheLineAreStoredAndAMalformedNumberIsCorrected)
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(startSocat());
    qputenv("VORLAN_SERIAL", QFile::encodeName(a));
    showMain();
    ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(Form1->StatusBar1->panelText(1));
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 1);
    EXPECT_EQ(Form1->StringGrid1->item(0, 0)->text(), QStringLiteral("异常标本号"));
    EXPECT_EQ(Form1->StringGrid1->item(0, 1)->text(), QStringLiteral("更正"));

    ASSERT_TRUE(runSimulator({QStringLiteral("--numbers"), QStringLiteral("11,A12,13"), QStringLiteral("--chunk"),
                              QStringLiteral("1:300"), QStringLiteral("--seed"), QStringLiteral("4")}));
    waitForGraphRows(3);
    ASSERT_EQ(graphRows(), 3);
    const QString day = Form1->workdate().toString(QStringLiteral("yyyy-MM-dd"));
    for (const char *n : {"11", "A12", "13"})
        EXPECT_GT(db::scalar(QStringLiteral("SELECT count(*) FROM testresult WHERE shelfid = ? AND checkdate = ?"),
                             {QString::fromLatin1(n), day}).toInt(), 15) << n;
    EXPECT_EQ(Form1->Shape1->brushColor(), QColor(128, 0, 0));

    // A12 is listed, with the grid and its button in view.
    EXPECT_FALSE(Form1->StringGrid1->isHidden());
    EXPECT_FALSE(Form1->Panel9->isHidden());
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    EXPECT_EQ(Form1->StringGrid1->item(1, 0)->text(), "A12");
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_malformed_grid.png"));

    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral(" 12 "));
    dialogs.answer(true);
    Form1->Button5->click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("该操作将替换旧的标本号,请确认输入的标本号正确，确定要保存吗？"));
    EXPECT_EQ(db::scalar(QStringLiteral("SELECT count(*) FROM testresult WHERE shelfid = 'A12'")).toInt(), 0);
    EXPECT_EQ(db::scalar(QStringLiteral("SELECT count(*) FROM gresult WHERE shelfid = '12'")).toInt(), 1);
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 1);
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    EXPECT_TRUE(Form1->Panel9->isHidden());

    // Line notifications reach the status bar.
    Form1->LinkReceiver1->commEvent(1004);
    EXPECT_EQ(Form1->StatusBar1->panelText(0), QStringLiteral("错误:"));
    EXPECT_EQ(Form1->StatusBar1->panelText(1), QStringLiteral("帧错误"));
}

TEST_F(MainWindowLink, CorrectionOntoANumberInUseIsRefusedAndStaysListed)
{
    qputenv("VORLAN_SERIAL", QFile::encodeName(dir + QStringLiteral("/none")));
    showMain();
    const QString day = Form1->workdate().toString(QStringLiteral("yyyy-MM-dd"));
    Form1->LinkReceiver1->receive("u 7\rA  1.00\r\x03u B7\rA  2.00\r\x03", day);
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral("7"));
    dialogs.answer(true);
    Form1->Button5->click();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(dialogs.shown[1].contains("B7")) << qPrintable(dialogs.shown[1]);
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 2);
    EXPECT_FALSE(Form1->StringGrid1->isHidden());
    EXPECT_EQ(db::scalar(QStringLiteral("SELECT count(*) FROM testresult WHERE shelfid = '7'")).toInt(), 1);

    // Cancel changes nothing; a double click on the grid hides it, and on the
    // graph panel shows it again with the list intact.
    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral("8"));
    dialogs.answer(false);
    Form1->Button5->click();
    EXPECT_EQ(db::scalar(QStringLiteral("SELECT count(*) FROM testresult WHERE shelfid = 'B7'")).toInt(), 1);
    Form1->StringGrid1DblClick();
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    Form1->Panel1DblClick();
    EXPECT_FALSE(Form1->StringGrid1->isHidden());
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 2);
}

TEST_F(MainWindowLink, APortThatWillNotOpenIsShownAndTheWindowWorksOn)
{
    const QString missing = dir + QStringLiteral("/no-such-tty");
    qputenv("VORLAN_SERIAL", QFile::encodeName(missing));
    showMain();
    EXPECT_FALSE(Form1->MSComm1->PortOpen());
    EXPECT_EQ(Form1->StatusBar1->panelText(0), QStringLiteral("错误:"));
    EXPECT_TRUE(Form1->StatusBar1->panelText(1).contains(missing));
    EXPECT_TRUE(Form1->isVisible());
}

// The reader thread keeps draining the line while the window's thread is
// held up in a long handler: nothing is lost and every record lands exactly.
TEST_F(MainWindowLink, NothingIsLostWhileTheWindowIsBusy)
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(startSocat());
    qputenv("VORLAN_SERIAL", QFile::encodeName(a));
    showMain();
    ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(Form1->StatusBar1->panelText(1));

    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    QVector<intake::ItemDef> items;
    ASSERT_TRUE(intake::loadItems(db::database(), &items));
    sim::RecordGenerator gen(simItems, 20261206);
    sim::StreamOptions opt;
    opt.count = 60;
    opt.noiseRate = 0.2;
    opt.faultRate = 0;
    QByteArray stream;
    const auto records = sim::generateStream(gen, opt, &stream);

    // Written at full speed from another thread while this one sleeps.
    const QByteArray device = QFile::encodeName(b);
    std::thread writer([&]() {
        const int fd = ::open(device.constData(), O_WRONLY | O_NOCTTY);
        if (fd < 0)
            return;
        qsizetype done = 0;
        while (done < stream.size()) {
            const ssize_t n = ::write(fd, stream.constData() + done, size_t(qMin<qsizetype>(4096, stream.size() - done)));
            if (n <= 0)
                break;
            done += n;
        }
        ::close(fd);
    });
    QThread::sleep(4); // a long handler on the window's thread
    writer.join();
    waitForGraphRows(records.size());
    ASSERT_EQ(graphRows(), records.size());

    const QString day = Form1->workdate().toString(QStringLiteral("yyyy-MM-dd"));
    for (const auto &rec : records) {
        const QString shelfid = rec.sampleNumber.trimmed();
        QVector<QVariantList> g;
        ASSERT_TRUE(db::select(QStringLiteral("SELECT a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12,checkdate FROM gresult "
                                              "WHERE shelfid = ?"), {shelfid}, &g));
        ASSERT_EQ(g.size(), 1) << qPrintable(shelfid);
        for (int f = 0; f < 12; ++f)
            ASSERT_EQ(g[0][f].toString().toLatin1(), rec.graph[f]) << qPrintable(shelfid) << " a" << f + 1;
        EXPECT_EQ(g[0][12].toString(), day);
        for (const intake::ItemDef &it : items) {
            if (it.mark.isEmpty())
                continue;
            EXPECT_EQ(db::scalar(QStringLiteral("SELECT value FROM testresult WHERE shelfid = ? AND itemid = ?"),
                                 {shelfid, it.itemid}).toString(),
                      intake::convertValue(rec.values.value(it.mark), it))
                << qPrintable(shelfid) << " item " << it.itemid;
        }
    }
}
