// Backup, restore and the end of the working day through the main window's
// handlers, the dialog seam answering and the database checked table by table.
#include "app/oprinput.h"
#include "app/startup.h"
#include "app/umessage.h"
#include "base/database.h"
#include "filefaults.h"
#include "testdb.h"
#include "wsfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <functional>
#include <iterator>
#include <optional>
#include <random>

using namespace wst;

namespace {

const QString kBackupDone = QStringLiteral("数据库备份完成！");
const QString kRestoreDone = QStringLiteral("数据库恢复完成！");
const QString kExitAsk = QStringLiteral("退出程序将不能接收数据，确定要退出吗？");
const QString kDayEndAsk = QStringLiteral("确实要结束当日工作吗？");

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A graph row whose lines carry bytes above 0x7F, stored as intake stores them.
void addGraph(const QString &id, const QString &date = kDay)
{
    graphics::GraphRow g;
    for (int i = 1; i <= 12; ++i) {
        g.a[i] = "  " + QByteArray::number(i) + " ";
        for (int b = 0; b < 40; ++b)
            g.a[i].append(char((0x80 + i * 7 + b * 3) & 0xFF));
    }
    addGraphs(id, g, "gresult", date);
}

// Runs `sql` on another file (made when missing) through a second connection.
void execIn(const QString &path, const char *sql)
{
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dayend-other"));
        other.setDatabaseName(path);
        EXPECT_TRUE(other.open() && db::exec(other, QLatin1String(sql))) << sql;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dayend-other"));
}

class DayEnd : public Workstation
{
protected:
    void SetUp() override
    {
        Workstation::SetUp();
        backup = QFileInfo(dbPath).dir().filePath(QStringLiteral("jykdb.mbk"));
        Form1->buildDayEnd(); // a second call connects nothing twice
    }
    // Runs a menu handler with a fresh record of the dialogs.
    void runWith(void (TForm1::*handler)())
    {
        dialogs.clear();
        (Form1->*handler)();
    }
    // Asks for a restore, says yes, and stays in the program after it.
    void restore()
    {
        dialogs.clear();
        dialogs.answers = {{true, {}}, {true, {}}, {false, {}}};
        Form1->N20Click();
        dialogs.answers.clear();
    }
    // The connection that made the temporary table is still the program's,
    // and the file holds the bytes it held.
    void expectSameConnectionAndFile(const QByteArray &fileBefore)
    {
        bool same = false;
        db::scalar(QStringLiteral("select count(*) from sameconnection"), {}, &same);
        EXPECT_TRUE(same && fileBytes(dbPath) == fileBefore) << "the file or the connection was replaced";
    }
    // No copy or work file left beside the database (and its backup).
    bool nothingLeft() const
    {
        QStringList files = QFileInfo(dbPath).dir().entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("jykdb.mbk"));
        return files == QStringList{QStringLiteral("jykdb.mdb")};
    }
    void expectError(const QString &containing, int at = 0)
    {
        ASSERT_EQ(dialogs.kinds.size(), size_t(at + 1)) << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(dialogs.kinds[at], dlg::Kind::Error);
        EXPECT_TRUE(dialogs.shown[at].contains(containing)) << dialogs.shown[at].toStdString();
    }
    QString backup;
};

// ---- restore ----------------------------------------------------------------

// A few hundred samples: a file of many pages, so that damage past its first
// pages leaves the header and the table list whole.
void addManySamples(int n)
{
    run("begin");
    for (int i = 1; i <= n; ++i) {
        addPatient(QString::number(1000 + i), QStringLiteral("病人%1").arg(i));
        for (int item = 1; item <= 8; ++item)
            addResult(QString::number(1000 + i), item, QString::number(i * 0.1 + item, 'f', 2));
    }
    run("commit");
}

// Random bytes over every other page in the second half of the file, where
// the rows are; the first pages (header, tables) stay as they were.
void damagePages(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 pages = f.size() / 4096;
    ASSERT_GT(pages, 40);
    std::mt19937 random(21);
    for (qint64 page = pages / 2; page < pages; page += 2) {
        QByteArray block(4096, '\0');
        for (char &c : block)
            c = char(random());
        ASSERT_TRUE(f.seek(page * 4096) && f.write(block) == block.size());
    }
}

TEST_F(DayEnd, RestoreRefusedWithoutAUsableBackupAndNothingChanges)
{
    addPatient("1", "张三");
    addManySamples(300);
    Form1->samplePageShow();
    // A temporary table lives only as long as this very connection.
    run("create temp table sameconnection (x integer)");
    const auto before = dump();
    const QByteArray fileBefore = fileBytes(dbPath);

    dialogs.answer(false);
    Form1->N20Click();
    EXPECT_EQ(dialogs.shown.size(), 1); // No: nothing at all

    // No backup; an SQLite file without our tables; one with our tables
    // but a column missing; one whose pages past the first are damaged; one
    // cut short. Each is refused before anything is disconnected, the live
    // file kept as it was.
    const QString damaged = QStringLiteral("备份文件 jykdb.mbk 已损坏，数据库未恢复。");
    const struct
    {
        const char *spoil;
        std::function<void()> hurt;
        QString said;
    } variants[] = {
        {nullptr, nullptr, QStringLiteral("没有找到备份文件 jykdb.mbk，数据库未恢复，请把备份文件放到数据库所在的文件夹后再恢复。")},
        {"create table other (x integer)", nullptr,
         QStringLiteral("备份文件 jykdb.mbk 不是本系统的数据库，数据库未恢复，请换用本系统备份的文件后再恢复。（缺少表 ")},
        {"alter table patient drop column bgtime", nullptr, QStringLiteral("缺少列 patient.bgtime")},
        {nullptr, [this] { damagePages(backup); }, damaged},
        {nullptr, [this] { QFile::resize(backup, QFileInfo(backup).size() * 2 / 3); }, damaged},
    };
    for (size_t variant = 0; variant < std::size(variants); ++variant) {
        SCOPED_TRACE(variant);
        QFile::remove(backup);
        if (variant >= 2) {
            runWith(&TForm1::N10Click);
            ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
        }
        if (variants[variant].spoil)
            execIn(backup, variants[variant].spoil);
        if (variants[variant].hurt)
            ASSERT_NO_FATAL_FAILURE(variants[variant].hurt());
        const QByteArray backupBytes = fileBytes(backup);
        runWith(&TForm1::N20Click);
        expectError(variants[variant].said, 1);
        if (variants[variant].said == damaged)
            EXPECT_EQ(dialogs.shown.value(1), damaged);
        EXPECT_TRUE(db::isConnected());
        EXPECT_EQ(dump(), before);
        expectSameConnectionAndFile(fileBefore);
        EXPECT_EQ(fileBytes(backup), backupBytes);
        EXPECT_TRUE(nothingLeft());
    }
    // Another program holding the file would go on writing the old one.
    runWith(&TForm1::N10Click);
    {
        testdb::FileLock lock(dbPath);
        ASSERT_TRUE(lock.held());
        restore();
        expectError(QStringLiteral("数据库文件正被其他程序使用，数据库未恢复，请关闭使用它的程序后再恢复。（"), 1);
    }
    EXPECT_EQ(dump(), before);
    expectSameConnectionAndFile(fileBefore);
    EXPECT_TRUE(nothingLeft());
    // The window's datasets still work.
    ASSERT_TRUE(Form1->patientset->requery());
    EXPECT_EQ(Form1->patientset->recordCount(), 301);
}

// A backup that passes every check but cannot be opened as this build opens
// it (an index it must make is taken by a view): the restored file does not
// answer, and the old one is back under its name, connected, every row there.
TEST_F(DayEnd, RestoredFileThatDoesNotAnswerPutsTheOldOneBack)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    Form1->samplePageShow();
    runWith(&TForm1::N10Click);
    execIn(backup, "drop index hisgresult_day_sample");
    execIn(backup, "create view hisgresult_day_sample as select 1");
    addPatient("2", "王五");
    Form1->patientrefresh();
    const auto before = dump();

    restore();
    expectError(QStringLiteral("备份文件 jykdb.mbk 恢复后无法使用，原来的数据库已放回原处，数据库未恢复"), 1);
    ASSERT_TRUE(db::isConnected());
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(Form1->patientset->recordCount(), 2);
    EXPECT_TRUE(nothingLeft());
    addPatient("3", "赵六"); // the old file takes writes again
    EXPECT_EQ(count("patient"), 3);
}

// A backup that fails leaves the earlier one; a restore brings that one back.
TEST_F(DayEnd, FailedBackupKeepsTheEarlierOneAndRestoreBringsItBack)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    addGraph("1");
    Form1->samplePageShow();
    Form1->N10->trigger(); // hidden, yet its handler is connected once
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    const auto atBackup = dump();
    const QByteArray earlier = fileBytes(backup);
    const int kindsAtBackup = dbdata->kindset->recordCount();

    // The day goes on after the backup.
    addPatient("2", "王五");
    run("delete from testresult");
    run("insert into samplekind (name) values ('胸水')");
    ASSERT_TRUE(dbdata->kindset->requery());
    Form1->patientrefresh();

    // A backup name taken by a folder with a file in it cannot be replaced.
    ASSERT_TRUE(QFile::rename(backup, backup + QStringLiteral(".keep")));
    ASSERT_TRUE(QDir().mkpath(backup + QStringLiteral("/x")));
    runWith(&TForm1::N10Click);
    expectError(QStringLiteral("jykdb.mbk"));
    EXPECT_TRUE(QFileInfo(backup + QStringLiteral("/x")).isDir() && !QFileInfo::exists(backup + QStringLiteral(".new")));
    QDir(backup).removeRecursively();
    ASSERT_TRUE(QFile::rename(backup + QStringLiteral(".keep"), backup));
    EXPECT_EQ(fileBytes(backup), earlier);
    EXPECT_EQ(count("patient"), 2); // the database went on working throughout

    Form1->show();
    restore();
    EXPECT_EQ(dialogs.shown.mid(1), (QStringList{kRestoreDone, kExitAsk}));
    EXPECT_TRUE(Form1->isVisible());
    ASSERT_TRUE(db::isConnected());
    EXPECT_EQ(dump(), atBackup);
    // The window and the data module show the restored file at once; the
    // backup itself is untouched by its restore.
    EXPECT_EQ(Form1->patientset->recordCount() + Form1->testresultset->recordCount(), 2);
    EXPECT_EQ(dbdata->kindset->recordCount(), kindsAtBackup);
    EXPECT_FALSE(QFileInfo::exists(dbPath + QStringLiteral(".previous")));
    EXPECT_EQ(fileBytes(backup), earlier);
}

// Read-only for real: the database file or the backup made immutable, the
// folder's mode forbidding writes. Each failure is told as its cause and what
// to do, the system's text only in brackets, and nothing is changed. Once the
// file may be written again, so may the program's connection, and the
// restore goes through.
TEST_F(DayEnd, ReadOnlyFileOrFolderIsToldAndTheDatabaseGoesOn)
{
    addPatient("1", "张三");
    Form1->samplePageShow();
    runWith(&TForm1::N10Click);
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    addPatient("2", "王五");
    const auto before = dump();
    const QString folder = QFileInfo(dbPath).absolutePath();
    const auto toldOnce = [&](const QString &starting, int at) {
        ASSERT_NO_FATAL_FAILURE(expectError(starting, at));
        const QString said = dialogs.shown[at];
        // The system's own text only in brackets after the sentence.
        EXPECT_TRUE(said.startsWith(starting) && said.indexOf(QStringLiteral("（")) == starting.size()
                    && said.endsWith(QStringLiteral("）")))
            << said.toStdString();
    };

    {
        filefaults::ImmutableFile readOnly(dbPath);
        if (!readOnly.held())
            GTEST_SKIP() << "this file system cannot make a file immutable here";
        runWith(&TForm1::N10Click); // a backup only reads the database
        EXPECT_EQ(dialogs.shown, QStringList{kBackupDone});
        const QByteArray backupBytes = fileBytes(backup);
        restore();
        toldOnce(QStringLiteral("数据库文件 jykdb.mdb 是只读的，数据库未恢复，请取消它的只读属性后再恢复。"), 1);
        EXPECT_EQ(dump(), before);
        EXPECT_EQ(fileBytes(backup), backupBytes);
        EXPECT_TRUE(nothingLeft());
    }
    addPatient("3", "赵六"); // writable again: so is the connection
    EXPECT_EQ(count("patient"), 3);

    {
        filefaults::ImmutableFile readOnly(backup);
        ASSERT_TRUE(readOnly.held());
        const QByteArray backupBytes = fileBytes(backup);
        runWith(&TForm1::N10Click);
        toldOnce(QStringLiteral("备份文件 jykdb.mbk 是只读的，数据库未能备份，请取消它的只读属性后再备份。"), 0);
        EXPECT_EQ(fileBytes(backup), backupBytes);
        EXPECT_TRUE(nothingLeft());
    }

    const auto afterWrites = dump();
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    filefaults::mayOverrideFileModes(false);
    const bool refuses = !filefaults::canCreateIn(folder);
    if (refuses) {
        const QByteArray backupBytes = fileBytes(backup);
        runWith(&TForm1::N10Click);
        toldOnce(QStringLiteral("数据库所在的文件夹是只读的，数据库未能备份，请让该文件夹可以写入后再备份。"), 0);
        restore();
        toldOnce(QStringLiteral("数据库所在的文件夹是只读的，数据库未恢复，请让该文件夹可以写入后再恢复。"), 1);
        EXPECT_EQ(dump(), afterWrites);
        EXPECT_EQ(fileBytes(backup), backupBytes);
    }
    filefaults::mayOverrideFileModes(true);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(nothingLeft());

    // With every right back the backup of the first two samples returns.
    restore();
    EXPECT_EQ(dialogs.shown.value(1), kRestoreDone);
    EXPECT_EQ(dump(), before);
    addPatient("4", "钱七");
    EXPECT_EQ(count("patient"), 3);
    if (!refuses)
        GTEST_SKIP() << "a folder with mode 0500 still takes new files here (superuser rights could not be given up)";
}

// The database and its backup on a small disk of their own, filled up.
class DayEndOnAFullDisk : public DayEnd
{
protected:
    void SetUp() override
    {
        disk.emplace(mountPoint);
        if (!disk->mounted())
            GTEST_SKIP() << "no small file system can be mounted here: " << qPrintable(disk->why);
        qputenv("TMPDIR", QFile::encodeName(mountPoint));
        DayEnd::SetUp();
    }
    void TearDown() override
    {
        DayEnd::TearDown();
        tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    }

    const QByteArray tmpdir = qgetenv("TMPDIR");
    const QString mountPoint = testdb::tempDir();
    std::optional<filefaults::SmallDisk> disk;
};

// Neither a backup nor a restore finds room: each says the disk is full,
// the earlier backup and the working file stay as they were, and nothing of
// a copy is left. With room again, both go through.
TEST_F(DayEndOnAFullDisk, BackupAndRestoreSayTheDiskIsFullAndKeepBothFiles)
{
    ASSERT_TRUE(dbPath.startsWith(mountPoint));
    addManySamples(200);
    Form1->samplePageShow();
    runWith(&TForm1::N10Click);
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    const auto atBackup = dump();
    addPatient("1", "张三");
    run("create temp table sameconnection (x integer)");
    const auto before = dump();
    const QByteArray fileBefore = fileBytes(dbPath);
    const QByteArray backupBefore = fileBytes(backup);
    ASSERT_GT(backupBefore.size(), 64 * 1024);
    ASSERT_TRUE(disk->fill(16 * 1024));

    runWith(&TForm1::N10Click);
    expectError(QStringLiteral("磁盘空间已满，数据库未能备份，请清理磁盘空间后再备份。（"));
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("磁盘空间已满，数据库未能备份"))) << dialogs.last().toStdString();
    EXPECT_EQ(fileBytes(backup), backupBefore);
    EXPECT_TRUE(nothingLeft());

    restore();
    expectError(QStringLiteral("磁盘空间已满，数据库未恢复，请清理磁盘空间后再恢复。（"), 1);
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("磁盘空间已满，数据库未恢复"))) << dialogs.last().toStdString();
    EXPECT_FALSE(dialogs.shown.join(QString()).contains(QStringLiteral("未知错误")));
    EXPECT_EQ(dump(), before);
    expectSameConnectionAndFile(fileBefore);
    EXPECT_TRUE(nothingLeft());

    disk->empty();
    restore();
    EXPECT_EQ(dialogs.shown.value(1), kRestoreDone);
    EXPECT_EQ(dump(), atBackup);
    EXPECT_TRUE(nothingLeft());
}

// ---- an interrupted restore at the next start ----------------------------------

class InterruptedRestore : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        frmoprput->runMainWindow = [this] { ++mainRuns; };
    }
    void stop()
    {
        delete dbdata;
        dbdata = nullptr;
        db::disconnect();
    }
    // Starts the program on the database in `folder` as main() does.
    bool start()
    {
        stop();
        dialogs.clear();
        return createDataModule(folder + QStringLiteral("/jykdb.mdb"));
    }
    bool logOn(const char *password)
    {
        const int before = mainRuns;
        frmoprput->Edit1->setText(QStringLiteral("100"));
        frmoprput->Edit2->setText(QString::fromUtf8(password));
        frmoprput->Button1Click();
        return mainRuns == before + 1;
    }
    QStringList files() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

    const QString folder = testdb::tempDir();
    int mainRuns = 0;
};

// A restore stopped between its two renames by an earlier build left the
// staff's database and the copy of the backup under their working names, and
// no jykdb.mdb. The next start puts the staff's file back and says so; with
// only a whole copy of the backup it starts on that and says so; a damaged
// copy stops the start. An empty new database is never made in their place.
TEST_F(InterruptedRestore, TheDatabaseIsPutBackAtTheNextStartAndTold)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into operator ([no], name, exp1) values (100, 'malvor', '班组密码')")));
    addPatient("1", "张三");
    const QString staff = folder + QStringLiteral("/staff");
    ASSERT_TRUE(db::exec(QStringLiteral("VACUUM INTO ?"), {staff}));
    QString why;
    ASSERT_TRUE(appdb::createDatabaseFile(folder + QStringLiteral("/jykdb.mdb.restore"), true, &why)) << why.toStdString();
    ASSERT_TRUE(QFile::rename(staff, folder + QStringLiteral("/jykdb.mdb.previous")));
    ASSERT_TRUE(start()) << dialogs.last().toStdString();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.kinds[0], dlg::Kind::Warning);
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("上次恢复数据库时程序中断，备份没有恢复，原来的数据库已放回原处")))
        << dialogs.last().toStdString();
    EXPECT_TRUE(logOn("班组密码")) << dialogs.shown.join('|').toStdString();
    EXPECT_EQ(count("patient"), 1);
    EXPECT_FALSE(files().contains(QStringLiteral("jykdb.mdb.previous")));

    // Only the copy of the backup: whole, it becomes the database.
    stop();
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/jykdb.mdb")));
    ASSERT_TRUE(start()) << dialogs.last().toStdString();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().startsWith(QStringLiteral("数据库文件 jykdb.mdb 不见了，已改用上次恢复时复制的备份")))
        << dialogs.last().toStdString();
    EXPECT_EQ(count("patient"), 0);
    EXPECT_TRUE(logOn("malvor"));
    EXPECT_EQ(files(), QStringList{"jykdb.mdb"});

    // A damaged copy stops the start and is left as it was.
    stop();
    ASSERT_TRUE(QFile::rename(folder + QStringLiteral("/jykdb.mdb"), folder + QStringLiteral("/jykdb.mdb.restore")));
    ASSERT_TRUE(QFile::resize(folder + QStringLiteral("/jykdb.mdb.restore"), 3 * 4096));
    const QByteArray damaged = fileBytes(folder + QStringLiteral("/jykdb.mdb.restore"));
    EXPECT_FALSE(start());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.last().contains(QStringLiteral("为免建立空数据库，程序不启动"))) << dialogs.last().toStdString();
    EXPECT_EQ(files(), QStringList{"jykdb.mdb.restore"});
    EXPECT_EQ(fileBytes(folder + QStringLiteral("/jykdb.mdb.restore")), damaged);
}

// ---- end of day -------------------------------------------------------------

// Cancelled, an empty list, or a failure anywhere: every table as it was.
// Run to the end: every column in its history column, control samples gone.
TEST_F(DayEnd, EndOfDayArchivesEveryColumnOrChangesNothing)
{
    // A sample of yesterday with a distinct text in every column, a control
    // sample, and results never registered.
    const QStringList cols = QStringLiteral("shelfid mzno caseno name sex age depart kind diagnose doctor taketime takedate "
                                            "apperance checkdate operator bedno bgtime").split(' ');
    QVariantList values{QStringLiteral("7")};
    for (const QString &c : cols.mid(1))
        values << (c == QLatin1String("checkdate") ? QStringLiteral("2026-12-05") : c + QStringLiteral("·值"));
    run(QStringLiteral("insert into patient (%1, printflag) values (%2 0)")
            .arg(cols.join(QStringLiteral(", ")), QStringLiteral("?, ").repeated(cols.size())), values);
    addResults("7", {{3, "12.3"}, {4, "*"}}, "2026-12-05");
    addGraph("7", "2026-12-05");
    addPatient("3", QStringLiteral("质控品1"));
    for (const char *id : {"99", "3"}) {
        addResult(id, 1, "6.1");
        addGraph(id);
    }
    const QString graphCols = QStringLiteral("shelfid, typeof(a5), checkdate, hex(a1||a2||a3||a4||a5||a6||a7||a8||a9||a10||a11||a12)");
    const Rows graphsBefore = rows(QStringLiteral("select %1 from gresult where shelfid <> '3' order by shelfid").arg(graphCols));
    const Rows resultsBefore = rows("select shelfid, itemid, value, checkdate from testresult "
                                    "where shelfid <> '3' order by shelfid, itemid");
    Form1->samplePageShow();
    const auto before = dump();

    dialogs.answer(false);
    Form1->N12Click();
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(dump(), before);
    // "已打印" while nothing is printed: the list is empty, the tables are not.
    Form1->N24Click();
    runWith(&TForm1::N12Click);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dump(), before);
    Form1->N25Click();

    // The database refuses, in turn, the first control delete, the graph
    // copy and the very last delete.
    for (const char *point : {"before delete on testresult", "before insert on hisgresult",
                              "before delete on gresult when old.shelfid = '99'"}) {
        SCOPED_TRACE(point);
        run(QStringLiteral("create temp trigger refuse %1 begin select raise(abort, '磁盘已满'); end").arg(QLatin1String(point)));
        runWith(&TForm1::N12Click);
        expectError(QStringLiteral("磁盘已满"), 1);
        EXPECT_EQ(frmmessage, nullptr);
        EXPECT_EQ(dump(), before);
        EXPECT_EQ(Form1->patientset->recordCount(), 2);
        run("drop trigger refuse");
    }

    runWith(&TForm1::N12Click);
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(rows(QStringLiteral("select %1 from histpatient").arg(cols.join(','))), Rows{values});
    // Results, those without a registration too; graph lines byte for byte.
    EXPECT_EQ(rows("select shelfid, itemid, value, checkdate from hisresult order by shelfid, itemid"), resultsBefore);
    EXPECT_EQ(rows(QStringLiteral("select %1 from hisgresult order by shelfid").arg(graphCols)), graphsBefore);
    EXPECT_EQ(count("patient") + count("testresult") + count("gresult"), 0);
    EXPECT_EQ(Form1->patientset->recordCount() + Form1->testresultset->recordCount() + Form1->gresultset->recordCount(), 0);
}

} // namespace
