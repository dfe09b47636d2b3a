// Backup, restore and the end of the working day through the main window's
// handlers, the dialog seam answering and the database checked table by table.
#include "app/umessage.h"
#include "wsfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    void expectError(const QString &containing, int at = 0)
    {
        ASSERT_EQ(dialogs.kinds.size(), size_t(at + 1)) << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(dialogs.kinds[at], dlg::Kind::Error);
        EXPECT_TRUE(dialogs.shown[at].contains(containing)) << dialogs.shown[at].toStdString();
    }
    QString backup;
};

// ---- restore ----------------------------------------------------------------

TEST_F(DayEnd, RestoreRefusedWithoutAUsableBackupAndNothingChanges)
{
    addPatient("1", "张三");
    Form1->samplePageShow();
    // A temporary table lives only as long as this very connection.
    run("create temp table sameconnection (x integer)");
    const auto before = dump();
    const QByteArray fileBefore = fileBytes(dbPath);

    dialogs.answer(false);
    Form1->N20Click();
    EXPECT_EQ(dialogs.shown.size(), 1); // No: nothing at all

    // No backup; an SQLite file without our tables; one with our tables
    // that fails the full check once swapped in. Each is refused
    // with an error, the live file kept and connected.
    const char *spoil[] = {nullptr, "create table other (x integer)", "alter table patient drop column bgtime"};
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        QFile::remove(backup);
        if (variant == 2) {
            runWith(&TForm1::N10Click);
            ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
        }
        if (spoil[variant])
            execIn(backup, spoil[variant]);
        runWith(&TForm1::N20Click);
        expectError(variant == 0 ? QStringLiteral("jykdb.mbk") : variant == 2 ? QStringLiteral("bgtime") : QString(), 1);
        EXPECT_TRUE(db::isConnected());
        EXPECT_EQ(dump(), before);
        bool same = false;
        db::scalar(QStringLiteral("select count(*) from sameconnection"), {}, &same);
        EXPECT_TRUE(variant == 2 || (same && fileBytes(dbPath) == fileBefore)) << "the file or the connection was replaced";
    }
    // The window's datasets still work; no working copies are left behind.
    ASSERT_TRUE(Form1->patientset->requery());
    EXPECT_FALSE(QFileInfo::exists(dbPath + ".restore") || QFileInfo::exists(dbPath + ".previous"));
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
    dialogs.clear();
    dialogs.answer(true);  // restore
    dialogs.answer(true);  // completion message
    dialogs.answer(false); // stay in the program
    Form1->N20Click();
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
