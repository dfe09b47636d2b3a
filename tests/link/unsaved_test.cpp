// Records the database has not taken, and received text that no folder
// takes, at the window's exit question: they reach a file whole wherever one
// can be written, the question says where and counts what really waits, and
// a disk that cannot take them leaves no partial file behind. The folders
// refuse for real: a folder the program may not write into, and a small file
// system of its own that is full; only a disk that fails to keep what it was
// given is played by the test, at the one call that would report it.
#include "filefaults.h"
#include "linkwindow.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <climits>
#include <optional>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace tables;

namespace {

// Unsaved files below this folder fail to reach the disk, as on a failing
// drive (the database's own files are left alone).
QByteArray failFsyncBelow;

} // namespace

extern "C" int fsync(int fd)
{
    if (!failFsyncBelow.isEmpty()) {
        char path[PATH_MAX + 1];
        const ssize_t n = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), path, PATH_MAX);
        const QByteArray file(path, n > 0 ? n : 0);
        if (file.startsWith(failFsyncBelow + '/') && file.contains("unsaved")) {
            errno = EIO;
            return -1;
        }
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

using filefaults::canCreateIn;
using filefaults::mayOverrideFileModes;
using filefaults::SmallDisk;

class UnsavedRecords : public LinkWindowTest
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        LinkWindowTest::SetUp();
    }
    void TearDown() override
    {
        LinkWindowTest::TearDown();
        mayOverrideFileModes(true);
        if (!dbPath.isEmpty())
            QFile::setPermissions(dbFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const auto &[name, value] : m_env)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    // Sends the records and waits until all of them wait for the database.
    void sendWaiting(const QByteArrayList &sent)
    {
        const int before = Form1->LinkReceiver1->waitingCount();
        ASSERT_TRUE(pty::writeDevice(pair.b, sent.join(), 700));
        ASSERT_TRUE(pumpUntil([&] { return Form1->LinkReceiver1->waitingCount() == before + sent.size(); }))
            << Form1->LinkReceiver1->waitingCount() << " " << qPrintable(status());
        // The refusal's box comes by a queued call: it is shown now, not
        // inside whatever the test does next.
        QCoreApplication::processEvents();
    }
    // Closes the window, the exit question answered.
    void closeAnswering(bool yes)
    {
        dialogs.clear();
        dialogs.answer(yes);
        Form1->close();
    }
    // The file a question named holds these bytes and no others.
    static void expectFileHolds(const QString &named, const QByteArray &bytes)
    {
        QFile file(QDir::fromNativeSeparators(named));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(named);
        EXPECT_TRUE(file.readAll() == bytes);
    }
    // The path the exit question names, from its second line.
    static QString namedPath(const QString &question) { return question.section(QLatin1Char('\n'), 1, 1); }

    QString dataHome = testdb::tempDir();

private:
    const std::vector<std::pair<const char *, QByteArray>> m_env{{"XDG_DATA_HOME", qgetenv("XDG_DATA_HOME")},
                                                                 {"TMPDIR", qgetenv("TMPDIR")}};
};

} // namespace

// The database file and its folder are read-only: 30 records wait, a cable
// pulled mid-record is set aside, the line comes back and one more record
// arrives while the exit is being confirmed. Every file goes to the user's
// data folder, byte for byte, and the status and the question name them in
// full.
TEST_F(UnsavedRecords, AFolderThatRefusesSendsTheFilesToTheUsersDataFolder)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    ASSERT_TRUE(QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)
                && QFile::setPermissions(dbFolder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                         | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    mayOverrideFileModes(false);
    if (canCreateIn(dbFolder()))
        GTEST_SKIP() << "a folder with mode 0555 still takes new files here (superuser rights could not be given up)";
    // The connection was opened before the file became read-only.
    ASSERT_TRUE(db::exec(QStringLiteral("PRAGMA query_only = 1")));

    const QByteArrayList sent = records(17, 32);
    ASSERT_NO_FATAL_FAILURE(sendWaiting(sent.mid(0, 30)));

    // The cable is pulled 300 bytes into the 31st record.
    QStringList said;
    QObject::connect(Form1->LinkReceiver1, &intake::LinkReceiver::statusChanged, Form1,
                     [&](const QString &, const QString &message) { said << message; });
    QObject::connect(Form1->LinkReceiver1, &intake::LinkReceiver::notice, Form1,
                     [&](const QString &text, const QString &) { said << text; });
    const QByteArray cut = sent[30].left(300);
    ASSERT_TRUE(pty::writeDevice(pair.b, cut, 700));
    ASSERT_TRUE(pumpUntil([] { return Form1->LinkReceiver1->lamp() == intake::lampReceivingColor(); }));
    pumpFor(300);
    pair.stop();
    ASSERT_TRUE(pumpUntil([&] { return !said.filter(QStringLiteral("另存")).isEmpty(); }))
        << qPrintable(said.join('\n'));
    const auto setAside = unsavedBelow(dataHome);
    ASSERT_EQ(setAside.values(), QByteArrayList{cut});
    EXPECT_TRUE(said.filter(QStringLiteral("已另存到文件") + QDir::toNativeSeparators(setAside.firstKey())).size() == 1)
        << qPrintable(said.join('\n'));

    // The last record is read as the port closes and goes to a file of its
    // own; the 30 are not written again.
    ASSERT_TRUE(pair.start());
    ASSERT_TRUE(pumpUntil([] { return Form1->MSComm1->deviceAttached(); }));
    ASSERT_TRUE(pty::writeDevice(pair.b, sent[31], 700));
    QThread::msleep(500);

    closeAnswering(true);
    ASSERT_EQ(dialogs.shown.size(), 1);
    const QString named = namedPath(dialogs.last());
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("有30个标本结果未能保存到数据库，已按收到的原样写入文件"))
                && dialogs.last().contains(QStringLiteral("退出程序将不能接收数据")))
        << qPrintable(dialogs.last());
    EXPECT_TRUE(named.startsWith(QDir::toNativeSeparators(dataHome) + QDir::separator())) << qPrintable(named);
    expectFileHolds(named, sent.mid(0, 30).join());
    const auto files = unsavedBelow(dataHome);
    EXPECT_EQ(files.size(), 3);
    EXPECT_FALSE(files.key(sent[31]).isEmpty());
    EXPECT_TRUE(unsavedBelow(dbFolder()).isEmpty());
}

// The disk beside the database accepts the bytes but fails to keep them:
// that file is not taken as written, and the records go to the data folder.
TEST_F(UnsavedRecords, AFileTheDiskFailsToKeepIsNotTakenAsWritten)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    const QByteArrayList sent = records(22, 3);
    testdb::FileLock lock(dbPath);
    ASSERT_TRUE(lock.held());
    ASSERT_NO_FATAL_FAILURE(sendWaiting(sent));

    failFsyncBelow = QFile::encodeName(QFileInfo(dbFolder()).canonicalFilePath());
    closeAnswering(true);
    failFsyncBelow.clear();
    ASSERT_EQ(dialogs.shown.size(), 1);
    const QString named = namedPath(dialogs.last());
    EXPECT_TRUE(named.startsWith(QDir::toNativeSeparators(dataHome) + QDir::separator())) << qPrintable(dialogs.last());
    expectFileHolds(named, sent.join());
    EXPECT_TRUE(unsavedBelow(dbFolder()).isEmpty()) << qPrintable(unsavedBelow(dbFolder()).keys().join(' '));
}

// The database, the data folder and the temporary folder on a small disk.
class UnsavedRecordsOnAFullDisk : public UnsavedRecords
{
protected:
    void SetUp() override
    {
        disk.emplace(mountPoint);
        if (!disk->mounted())
            GTEST_SKIP() << "no small file system can be mounted here: " << qPrintable(disk->why);
        qputenv("TMPDIR", QFile::encodeName(mountPoint));
        UnsavedRecords::SetUp();
        qputenv("XDG_DATA_HOME", QFile::encodeName(mountPoint + QStringLiteral("/data")));
    }

    const QString outside = testdb::tempDir();
    const QString mountPoint = testdb::tempDir();
    std::optional<SmallDisk> disk;
};

// Nothing can be written anywhere: the question says the disk is full and no
// file is left, not even a part of one. With room in the data folder the
// next exit puts every record there.
TEST_F(UnsavedRecordsOnAFullDisk, LeavesNoPartOfAFileAndIsCalledFull)
{
    ASSERT_TRUE(dbPath.startsWith(mountPoint));
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    const QByteArrayList sent = records(18, 30);
    testdb::FileLock lock(dbPath);
    ASSERT_TRUE(lock.held());
    ASSERT_NO_FATAL_FAILURE(sendWaiting(sent));
    ASSERT_GT(sent.join().size(), 64 * 1024);
    // Room for a few pages of the file, not for all of it.
    ASSERT_TRUE(disk->fill(16 * 1024));

    closeAnswering(false);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("磁盘已满"))) << qPrintable(dialogs.last());
    EXPECT_FALSE(dialogs.last().contains(QStringLiteral("未知错误"))) << qPrintable(dialogs.last());
    EXPECT_TRUE(unsavedBelow(mountPoint).isEmpty()) << qPrintable(unsavedBelow(mountPoint).keys().join(' '));

    qputenv("XDG_DATA_HOME", QFile::encodeName(outside));
    closeAnswering(true);
    ASSERT_EQ(dialogs.shown.size(), 1);
    const auto files = unsavedBelow(outside);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first() == sent.join());
    EXPECT_EQ(namedPath(dialogs.last()), QDir::toNativeSeparators(files.firstKey())) << qPrintable(dialogs.last());
    EXPECT_TRUE(unsavedBelow(mountPoint).isEmpty());
}

// While another program holds the database, records wait, the window keeps
// answering and the status bar counts them. The other program lets go while
// the exit question is up: the retry stores the 6 waiting records, and the
// answer leaves no file that holds records the database now has.
TEST_F(UnsavedRecords, RecordsStoredWhileTheQuestionIsUpLeaveNoFile)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    const QByteArrayList sent = records(19, 6);
    auto lock = std::make_unique<testdb::FileLock>(dbPath);
    ASSERT_TRUE(lock->held());
    // A beat every 100 ms on the window's thread; no gap between two may
    // come near the connection's busy timeout.
    QElapsedTimer clock;
    qint64 worst = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { worst = std::max(worst, clock.restart()); });
    clock.start();
    beat.start(100);
    ASSERT_NO_FATAL_FAILURE(sendWaiting(sent));
    beat.stop();
    EXPECT_LT(std::max(worst, clock.elapsed()), 2000);
    EXPECT_TRUE(status().startsWith(QStringLiteral("6个标本结果等待保存：数据库文件正被其他程序占用"))) << qPrintable(status());
    EXPECT_EQ(dialogs.shown.size(), 1) << qPrintable(dialogs.shown.join('\n'));

    QString asked;
    dlg::setResponder([&](const dlg::Request &r) {
        if (!r.text.contains(QStringLiteral("退出程序")))
            return dlg::Reply{};
        asked = r.text;
        lock.reset();
        pumpUntil([] { return Form1->LinkReceiver1->waitingCount() == 0; },
                  3 * intake::LinkReceiver::kRetryIntervalMs);
        return dlg::Reply{true};
    });
    Form1->close();
    EXPECT_TRUE(asked.startsWith(QStringLiteral("有6个标本结果未能保存到数据库"))) << qPrintable(asked);
    ASSERT_TRUE(db::connect(dbPath));
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), 6);
    EXPECT_TRUE(unsavedBelow(dbFolder()).isEmpty() && unsavedBelow(dataHome).isEmpty())
        << qPrintable(unsavedBelow(dbFolder()).keys().join(' '));
}

// With every folder on the full disk, a record that lost its 0x03 and the
// record after it cannot be set aside anywhere: they wait in the program,
// counted by the status bar and the exit question, until there is room
// again and the retry writes them.
TEST_F(UnsavedRecordsOnAFullDisk, SetAsideTextWaitsUntilThereIsRoom)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    const QByteArrayList sent = records(20, 2);
    const QByteArray lost = sent[0].chopped(1) + sent[1];
    QStringList notices;
    QObject::connect(Form1->LinkReceiver1, &intake::LinkReceiver::notice, Form1,
                     [&](const QString &text, const QString &) { notices << text; });
    ASSERT_TRUE(disk->fill(0));
    ASSERT_TRUE(pty::writeDevice(pair.b, lost, 700));
    ASSERT_TRUE(pumpUntil([&] { return !notices.isEmpty(); }));
    const QString what = QStringLiteral("标本号1、2的数据无法确定属于哪个标本，未保存，");
    EXPECT_TRUE(notices.last().startsWith(what + QStringLiteral("暂时无法另存到文件（"))
                && notices.last().contains(QStringLiteral("磁盘已满"))
                && notices.last().endsWith(QStringLiteral("），已暂存在程序中，磁盘或文件夹可以写入后将自动另存")))
        << qPrintable(notices.last());
    EXPECT_TRUE(status().startsWith(QStringLiteral("1段未保存的数据等待写入文件：")) && status().contains(QStringLiteral("磁盘已满")))
        << qPrintable(status());
    EXPECT_TRUE(unsavedBelow(mountPoint).isEmpty());

    // The question counts it and says that it cannot be written either.
    closeAnswering(false);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("有1段收到的数据未能另存到文件，写入文件也失败了（"))
                && dialogs.last().contains(QStringLiteral("磁盘已满")))
        << qPrintable(dialogs.last());

    ASSERT_TRUE(QFile::remove(mountPoint + QStringLiteral("/filler")));
    ASSERT_TRUE(pumpUntil([&] { return !unsavedBelow(mountPoint).isEmpty(); },
                          3 * intake::LinkReceiver::kRetryIntervalMs));
    const auto files = unsavedBelow(mountPoint);
    ASSERT_EQ(files.values(), QByteArrayList{lost});
    EXPECT_EQ(notices.last(), what + QStringLiteral("已另存到文件") + QFileInfo(files.firstKey()).fileName());
    EXPECT_EQ(status(), QStringLiteral("等待写入的数据已全部写入文件"));
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), 0);

    closeAnswering(true);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("退出程序将不能接收数据，确定要退出吗？")});
}

// Records wait while another program holds the database; one more arrives
// while the exit question is up, and the disk fills. The file cannot be
// brought up to date: that is told before the program ends, and the file
// keeps every byte it held.
TEST_F(UnsavedRecordsOnAFullDisk, AFailedRewriteAtExitIsToldAndKeepsTheFileAsItWas)
{
    ASSERT_NO_FATAL_FAILURE(showOnPty());
    const QByteArrayList sent = records(21, 4);
    testdb::FileLock lock(dbPath);
    ASSERT_TRUE(lock.held());
    ASSERT_NO_FATAL_FAILURE(sendWaiting(sent.mid(0, 3)));

    QStringList said;
    dlg::setResponder([&](const dlg::Request &r) {
        said << r.text;
        if (r.text.contains(QStringLiteral("退出程序"))) {
            EXPECT_TRUE(pty::writeDevice(pair.b, sent[3], 700));
            EXPECT_TRUE(pumpUntil([] { return Form1->LinkReceiver1->waitingCount() == 4; }));
            EXPECT_TRUE(disk->fill(0));
        }
        return dlg::Reply{true};
    });
    Form1->close();
    ASSERT_EQ(said.size(), 2) << qPrintable(said.join('\n'));
    const QString named = namedPath(said[0]);
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("退出前未能把提问之后收到的数据写入文件") + named)
                && said[1].contains(QStringLiteral("磁盘已满")))
        << qPrintable(said[1]);
    expectFileHolds(named, sent.mid(0, 3).join());
}
