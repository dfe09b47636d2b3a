// The analyser link through the main window: the simulator writes records
// into a pseudo-terminal, the window's serial control receives them, the
// rows land in the day tables, the lamp and status bar follow, and a
// malformed number is corrected in the grid.
#include "app/Unit1.h"
#include "app/session.h"
#include "common/mainwindowtest.h"
#include "common/testdb.h"
#include "link/linkreceiver.h"
#include "platform/comm/commcontrol.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"
#include "pty.h"
#include "recordgen.h"
#include "tables.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <thread>

using namespace tables;

namespace {

class MainWindowLink : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        session::setCurrentOperator(QStringLiteral("malvor"));
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        pair.stop();
        qunsetenv("VORLAN_SERIAL");
    }
    // The main window on the given port (set before the window opens it).
    void showOn(const QString &port)
    {
        qputenv("VORLAN_SERIAL", QFile::encodeName(port));
        showMain();
    }
    QString day() const { return Form1->workdate().toString(QStringLiteral("yyyy-MM-dd")); }
    bool runSimulator(const QStringList &args)
    {
        QProcess p;
        // Under ctest the build folder is named; run by hand it is two levels up.
        const QString build = qEnvironmentVariable("VORLAN_BINARY_DIR",
                                                   QCoreApplication::applicationDirPath() + QStringLiteral("/../.."));
        p.start(build + QStringLiteral("/tools/analyser-sim/analyser-sim"),
                QStringList{"--db", dbPath, "--out", pair.b, "--fast"} + args);
        return p.waitForFinished(pty::kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    static void waitForGraphRows(int n)
    {
        const QDeadlineTimer deadline(pty::kWaitMs);
        while (count("SELECT count(*) FROM gresult") < n && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    pty::Pair pair{testdb::tempDir()};
};

} // namespace

TEST_F(MainWindowLink, RecordsFromTheLineAreStoredAndAMalformedNumberIsCorrected)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(Form1->StatusBar1->panelText(1));
    EXPECT_TRUE(Form1->StringGrid1->isHidden());

    ASSERT_TRUE(runSimulator({"--numbers", "11,A12,13", "--chunk", "1:300", "--seed", "4"}));
    waitForGraphRows(3);
    ASSERT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid IN ('11', 'A12', '13') AND checkdate = ?", {day()}), 3);
    EXPECT_EQ(Form1->Shape1->brushColor(), QColor(128, 0, 0));

    // A12 is listed, with the grid and its button in view.
    EXPECT_FALSE(Form1->StringGrid1->isHidden() || Form1->Panel9->isHidden());
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    EXPECT_EQ(Form1->StringGrid1->item(1, 0)->text(), "A12");
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_malformed_grid.png"));

    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral(" 12 "));
    dialogs.answer(true);
    Form1->Button5->click();
    EXPECT_EQ(dialogs.last(), QStringLiteral("该操作将替换旧的标本号,请确认输入的标本号正确，确定要保存吗？"));
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = 'A12'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid = '12'"), 1);
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 1);
    EXPECT_TRUE(Form1->StringGrid1->isHidden() && Form1->Panel9->isHidden());

    // Line notifications reach the status bar.
    Form1->LinkReceiver1->commEvent(1004);
    EXPECT_EQ(Form1->StatusBar1->panelText(0) + Form1->StatusBar1->panelText(1), QStringLiteral("错误:帧错误"));
}

TEST_F(MainWindowLink, AClosedPortIsShownAndACorrectionOntoANumberInUseIsRefused)
{
    const QString missing = testdb::tempDir() + QStringLiteral("/no-such-tty");
    showOn(missing);
    EXPECT_FALSE(Form1->MSComm1->PortOpen());
    EXPECT_EQ(Form1->StatusBar1->panelText(0), QStringLiteral("错误:"));
    // The port named in the environment, and why it would not open.
    EXPECT_TRUE(Form1->StatusBar1->panelText(1).contains(missing)
                && Form1->StatusBar1->panelText(1).contains(QStringLiteral("No such file")))
        << qPrintable(Form1->StatusBar1->panelText(1));

    Form1->LinkReceiver1->receive("u 7\rA  1.00\r\x03u B7\rA  2.00\r\x03", day());
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral("7"));
    dialogs.answer(true);
    Form1->Button5->click();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(dialogs.shown[1].contains("B7")) << qPrintable(dialogs.shown[1]);
    EXPECT_FALSE(Form1->StringGrid1->rowCount() != 2 || Form1->StringGrid1->isHidden());
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = '7'"), 1);

    // A double click on the grid hides it, and on the graph panel shows it
    // again with the list intact.
    Form1->StringGrid1DblClick();
    EXPECT_TRUE(Form1->StringGrid1->isHidden());
    Form1->Panel1DblClick();
    EXPECT_FALSE(Form1->StringGrid1->isHidden());
    EXPECT_EQ(Form1->StringGrid1->rowCount(), 2);
}

// The reader thread keeps draining the line while the window's thread is
// held up in a long handler: nothing is lost and every record lands exactly.
TEST_F(MainWindowLink, NothingIsLostWhileTheWindowIsBusy)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(Form1->StatusBar1->panelText(1));

    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    sim::RecordGenerator gen(simItems, 20261206);
    sim::StreamOptions opt;
    opt.count = 60;
    opt.noiseRate = 0.2;
    opt.faultRate = 0;
    QByteArray stream;
    const auto records = sim::generateStream(gen, opt, &stream);

    // The rows of the whole stream received in one piece (which the store
    // tests check against what the simulator sent).
    intake::LinkReceiver().receive(stream, day());
    const int stored = count("SELECT count(*) FROM gresult");
    EXPECT_GT(stored, records.size() * 3 / 4);
    const auto expected = takeAll();

    // Written at full speed from another thread while this one sleeps.
    std::thread writer([&] { pty::writeDevice(pair.b, stream, 4096); });
    QThread::sleep(4); // a long handler on the window's thread
    writer.join();
    waitForGraphRows(stored);
    EXPECT_EQ(takeAll(), expected);
}

// An end of day was skipped: yesterday's 5 and 6 are still in the day
// tables when today's 5 arrives and today's malformed A6 is corrected to 6.
// Each day keeps its own results.
TEST_F(MainWindowLink, TodaysSamplesLeaveTheSameNumbersOfAnEarlierDayAlone)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    const QString yesterday = QStringLiteral("2020-01-01");
    for (const char *id : {"5", "6"}) {
        ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO testresult (shelfid, checkdate, itemid, value) VALUES (?, ?, 1, 'old')"),
                             {QLatin1String(id), yesterday}));
        ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, checkdate, a1) VALUES (?, ?, 'old')"),
                             {QLatin1String(id), yesterday}));
    }
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen()) << qPrintable(Form1->StatusBar1->panelText(1));
    ASSERT_TRUE(runSimulator({"--numbers", "5,A6", "--seed", "4"}));
    waitForGraphRows(4);
    ASSERT_EQ(Form1->StringGrid1->rowCount(), 2);
    Form1->StringGrid1->item(1, 1)->setText(QStringLiteral("6"));
    dialogs.answer(true);
    Form1->Button5->click();
    EXPECT_EQ(dialogs.shown.size(), 1) << qPrintable(dialogs.last());

    for (const char *id : {"5", "6"}) {
        SCOPED_TRACE(id);
        const QVariantList key{QLatin1String(id), yesterday};
        EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = ? AND checkdate = ?", key), 1);
        EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = ? AND checkdate = ? AND value = 'old'", key), 1);
        EXPECT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid = ? AND checkdate = ? AND a1 = 'old'", key), 1);
        EXPECT_GT(count("SELECT count(*) FROM testresult WHERE shelfid = ? AND checkdate = ?", {QLatin1String(id), day()}), 1);
        EXPECT_EQ(count("SELECT count(*) FROM gresult WHERE shelfid = ? AND checkdate = ?", {QLatin1String(id), day()}), 1);
    }
}
