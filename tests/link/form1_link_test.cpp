// The analyser link through the main window: the simulator writes records
// into a pseudo-terminal, the window's serial control receives them, the
// rows land in the day tables, the lamp and status bar follow, and a
// malformed number is corrected in the grid.
#include "app/Unit1.h"
#include "base/session.h"
#include "common/mainwindowtest.h"
#include "common/testdb.h"
#include "link/linkreceiver.h"
#include "platform/comm/commcontrol.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/lamp.h"
#include "platform/widgets/statusbar.h"
#include "pty.h"
#include "recordgen.h"
#include "tables.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSqlQuery>
#include <QTimer>
#include <QPushButton>
#include <QTableWidget>
#include <thread>
#include <unistd.h>

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

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The unsaved files beside the database, oldest first.
QStringList unsavedFiles(const QString &dbPath)
{
    const QDir dir = QFileInfo(dbPath).absoluteDir();
    QStringList out;
    for (const QString &f : dir.entryList({QStringLiteral("*-unsaved-*.txt")}, QDir::Files, QDir::Name))
        out << dir.filePath(f);
    return out;
}

} // namespace

// A lost end byte, a cable pulled mid-record and stray record-like lines
// never put one sample's values under another: what cannot be one record is
// set aside in a file beside the database, the next sound record is stored.
TEST_F(MainWindowLink, ARecordIsOnlyEverItsOwnBytes)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen());
    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    sim::RecordGenerator gen(simItems, 9);
    const auto settle = [] {
        const QDeadlineTimer d(1500);
        while (!d.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    };

    // 2401 loses its 0x03; 2402 follows complete.
    QByteArray r2401 = gen.record("2401", sim::Fault::MissingItems).bytes;
    r2401.chop(1);
    const QByteArray r2402 = gen.record("2402").bytes;
    ASSERT_TRUE(pty::writeDevice(pair.b, r2401 + r2402, 64));
    settle();
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM testresult"), 0);
    EXPECT_TRUE(Form1->StatusBar1->panelText(1).contains(QStringLiteral("标本号2401、2402的数据无法确定属于哪个标本")))
        << qPrintable(Form1->StatusBar1->panelText(1));
    ASSERT_EQ(unsavedFiles(dbPath).size(), 1);
    EXPECT_EQ(fileBytes(unsavedFiles(dbPath).last()), r2401 + r2402);

    // A stray line like a WBC line before sample 7.
    ASSERT_TRUE(pty::writeDevice(pair.b, "\x11\xFE\rA 99.9\ru 7\rA  5.20\r\x03u 8\rA  5.30\r\x03", 64));
    waitForGraphRows(2);
    settle();
    EXPECT_EQ(rows(QStringLiteral("SELECT shelfid, value FROM testresult WHERE itemid = 1 AND shelfid IN ('7', '8')")),
              (QVector<QStringList>{{"8", "5.30"}}));
}

// The analyser's cable is pulled after 100 bytes of 102 and put back; 103
// follows. The simulator owns the line, so the window's end really hangs up.
TEST_F(MainWindowLink, APulledCableEndsTheRecordInProgress)
{
    const QString line = testdb::tempDir() + QStringLiteral("/line");
    QProcess sim;
    const QString build = qEnvironmentVariable("VORLAN_BINARY_DIR",
                                               QCoreApplication::applicationDirPath() + QStringLiteral("/../.."));
    sim.start(build + QStringLiteral("/tools/analyser-sim/analyser-sim"),
              {"--db", dbPath, "--pty", line, "--numbers", "101,102,103", "--hangup", "102", "--cut", "100", "--fast"});
    ASSERT_TRUE(sim.waitForStarted(pty::kWaitMs));
    ASSERT_TRUE(pty::waitUntil([&] { return QFile::exists(line); }));
    showOn(line);
    const QDeadlineTimer deadline(pty::kWaitMs);
    while (sim.state() != QProcess::NotRunning && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().constData();
    waitForGraphRows(2);

    EXPECT_EQ(rows(QStringLiteral("SELECT shelfid FROM gresult ORDER BY shelfid")),
              (QVector<QStringList>{{"101"}, {"103"}}));
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid NOT IN ('101', '103')"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE shelfid = '103'"),
              count("SELECT count(*) FROM testresult WHERE shelfid = '101'"));
    // 102's bytes up to the hang-up, and nothing of 103, are set aside.
    ASSERT_EQ(unsavedFiles(dbPath).size(), 1);
    const QByteArray cut = fileBytes(unsavedFiles(dbPath).last());
    EXPECT_EQ(cut.size(), 100);
    EXPECT_TRUE(cut.contains("\ru 102\r") && !cut.contains('\x03')) << cut.constData();
}

// While another program holds the database, records wait in order, the
// window keeps answering, and the status bar counts them; all are stored in
// arrival order once the lock is released.
TEST_F(MainWindowLink, RecordsWaitWhileTheDatabaseIsLockedAndTheWindowKeepsAnswering)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen());
    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    sim::RecordGenerator gen(simItems, 30);
    QVector<QByteArray> records;
    for (int i = 1; i <= 30; ++i)
        records << gen.record(QString::number(i)).bytes;

    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        locker.setDatabaseName(dbPath);
        ASSERT_TRUE(locker.open());
        QSqlQuery lock(locker);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

        // Key presses posted to the sample list every 100 ms; each must be
        // handled well within the busy timeout a record once cost.
        struct KeyWatch : QObject
        {
            QElapsedTimer clock;
            qint64 postedAt = -1, worst = 0;
            int answered = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::KeyPress && postedAt >= 0) {
                    worst = std::max(worst, clock.elapsed() - postedAt);
                    postedAt = -1;
                    ++answered;
                }
                return false;
            }
        } watch;
        watch.clock.start();
        QWidget *grid = Form1->DBGrid1;
        grid->installEventFilter(&watch);
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            if (watch.postedAt < 0) {
                watch.postedAt = watch.clock.elapsed();
                QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier));
            }
        });
        keys.start(100);

        // 30 records over about 15 s, the lock held for 20 s.
        std::thread writer([&] {
            for (const QByteArray &r : records) {
                pty::writeDevice(pair.b, r, 512);
                QThread::msleep(500);
            }
        });
        const QDeadlineTimer held(20000);
        while (!held.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        writer.join();
        keys.stop();
        grid->removeEventFilter(&watch);
        EXPECT_LT(watch.worst, 2000);
        EXPECT_GT(watch.answered, 50);
        EXPECT_TRUE(Form1->StatusBar1->panelText(1).startsWith(QStringLiteral("30个标本结果等待保存：数据库文件正被其他程序占用")))
            << qPrintable(Form1->StatusBar1->panelText(1));
        EXPECT_EQ(Form1->LinkReceiver1->waitingCount(), 30);
        EXPECT_EQ(dialogs.shown.size(), 1) << qPrintable(dialogs.shown.join('\n'));
        lock.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));

    waitForGraphRows(30);
    QStringList order;
    for (const QStringList &r : rows(QStringLiteral("SELECT shelfid FROM gresult ORDER BY rowid")))
        order << r[0];
    QStringList expected;
    for (int i = 1; i <= 30; ++i)
        expected << QString::number(i);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(Form1->StatusBar1->panelText(1), QStringLiteral("等待保存的标本结果已全部保存"));
}

// A database that never accepts a record: on closing, every record received
// is in a file beside the database, byte for byte, and the question names it.
TEST_F(MainWindowLink, RecordsAReadOnlyDatabaseRefusedAreWrittenToAFileOnClosing)
{
    if (!pty::haveSocat())
        GTEST_SKIP() << "socat not installed";
    ASSERT_TRUE(pair.start());
    QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    showOn(pair.a);
    ASSERT_TRUE(Form1->MSComm1->PortOpen());
    // The file's mode does not stop the superuser; the connection is made
    // read-only as well.
    if (geteuid() == 0)
        ASSERT_TRUE(db::exec(QStringLiteral("PRAGMA query_only = 1")));
    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    sim::RecordGenerator gen(simItems, 31);
    QByteArray all;
    for (int i = 1; i <= 30; ++i)
        all += gen.record(QString::number(i)).bytes;
    ASSERT_TRUE(pty::writeDevice(pair.b, all, 700));
    ASSERT_TRUE(pty::waitUntil([&] {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        return Form1->LinkReceiver1->waitingCount() == 30;
    }));
    EXPECT_TRUE(Form1->StatusBar1->panelText(1).contains(QStringLiteral("数据库文件是只读的")))
        << qPrintable(Form1->StatusBar1->panelText(1));

    dialogs.clear();
    dialogs.answer(true);
    Form1->close();
    ASSERT_EQ(dialogs.shown.size(), 1);
    const QStringList files = unsavedFiles(dbPath);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(dialogs.last().contains(QDir::toNativeSeparators(files[0]))
                && dialogs.last().contains(QStringLiteral("退出程序将不能接收数据"))) << qPrintable(dialogs.last());
    EXPECT_TRUE(fileBytes(files[0]) == all);
    QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::WriteOwner);
}

// A value that cannot be converted is kept as received and named; the
// correction list takes its place without growing the window.
TEST_F(MainWindowLink, AnUnconvertedValueIsNamedAndTheCorrectionListKeepsTheWindowSize)
{
    showOn(testdb::tempDir() + QStringLiteral("/no-such-tty"));
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET hsyz = 100, bitnum = 8 WHERE itemid = 1")));
    const QSize before = Form1->size();
    Form1->LinkReceiver1->receive("u A5\rA 123.4\r\x03", day());
    EXPECT_EQ(rows(QStringLiteral("SELECT value FROM testresult WHERE shelfid = 'A5' AND itemid = 1")),
              (QVector<QStringList>{{"123.4"}}));
    EXPECT_EQ(Form1->StatusBar1->panelText(1), QStringLiteral("标本号A5的项目WBC未能换算，已按原值保存"));
    QApplication::processEvents();
    ASSERT_TRUE(Form1->Panel9->isVisible() && Form1->StringGrid1->isVisible());
    EXPECT_EQ(Form1->size(), before);
    // The button panel sits at the bottom of the graph column, under the grid.
    const QWidget *column = Form1->Panel9->parentWidget();
    EXPECT_EQ(Form1->Panel9->geometry().bottom(), column->rect().bottom());
    EXPECT_LE(Form1->StringGrid1->geometry().bottom(), Form1->Panel9->geometry().top());
    Form1->grab().save(testdb::outputDir() + QStringLiteral("/link_correction_panel.png"));
}
