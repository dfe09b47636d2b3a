// Backup, restore and the end of the working day through the main window's
// handlers, the dialog seam answering and the database checked table by table.
#include "app/umessage.h"
#include "platform/db/connection.h"
#include "wsfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <sys/stat.h>

using namespace wst;

namespace {

const QString kBackupDone = QStringLiteral("数据库备份完成！");
const QString kRestoreDone = QStringLiteral("数据库恢复完成！");
const QString kExitAsk = QStringLiteral("退出程序将不能接收数据，确定要退出吗？");
const QString kDayEndAsk = QStringLiteral("确实要结束当日工作吗？");

using Rows = QVector<QVariantList>;

Rows rows(const QString &sql, QSqlDatabase d = db::database())
{
    Rows r;
    QString err;
    EXPECT_TRUE(db::select(d, sql, {}, &r, &err)) << err.toStdString();
    return r;
}

// Every day and history table, rows in storage order, values with their types.
QMap<QString, Rows> dump(QSqlDatabase d = db::database())
{
    QMap<QString, Rows> m;
    for (const char *t : {"patient", "testresult", "gresult", "histpatient", "hisresult", "hisgresult"})
        m[QLatin1String(t)] = rows(QStringLiteral("select * from %1 order by rowid").arg(QLatin1String(t)), d);
    return m;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A graph row whose lines carry bytes above 0x7F, stored as intake stores them.
void addGraph(const QString &id, const QString &date = kDay)
{
    QVariantList p{id};
    for (int i = 1; i <= 12; ++i) {
        QByteArray line = "  " + QByteArray::number(i) + " ";
        for (int b = 0; b < 40; ++b)
            line.append(char((0x80 + i * 7 + b * 3) & 0xFF));
        p.append(QString::fromLatin1(line + "  "));
    }
    p.append(date);
    run(QStringLiteral("insert into gresult (shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, checkdate) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"), p);
}

// A second connection to another file, closed and removed with the object.
struct OtherDb
{
    explicit OtherDb(const QString &path) { EXPECT_TRUE(ok = db::connectNamed(name, path, nullptr)); }
    ~OtherDb()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase database() const { return QSqlDatabase::database(name, false); }
    QString name = QStringLiteral("dayend-test-other");
    bool ok = false;
};

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
    QString backup;
};

// ---- backup -----------------------------------------------------------------

TEST_F(DayEnd, BackupHoldsWhatWasJustWrittenAndASecondOneReplacesIt)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    Form1->N10->trigger(); // hidden, yet its handler is connected once
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    {
        OtherDb copy(backup);
        EXPECT_EQ(dump(copy.database()), dump());
        EXPECT_EQ(rows("pragma user_version", copy.database()), rows("pragma user_version"));
    }
    // The live database stays connected and in use.
    addPatient("2", "王五");
    run("delete from testresult");
    runWith(&TForm1::N10Click);
    EXPECT_EQ(dialogs.shown, QStringList{kBackupDone});
    OtherDb copy(backup);
    EXPECT_EQ(dump(copy.database()), dump());
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral(".new")));
}

TEST_F(DayEnd, FailedBackupShowsNoCompletionAndKeepsTheEarlierBackup)
{
    addPatient("1", "张三");
    Form1->N10Click();
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    const QByteArray earlier = fileBytes(backup);
    addPatient("2", "王五");
    auto expectError = [this]() {
        EXPECT_FALSE(dialogs.shown.contains(kBackupDone));
        ASSERT_EQ(dialogs.kinds.size(), 1u);
        EXPECT_EQ(dialogs.kinds[0], dlg::Kind::Error);
        EXPECT_TRUE(dialogs.last().contains(QStringLiteral("jykdb.mbk"))) << dialogs.last().toStdString();
    };

    // A folder that refuses new files (root ignores the mode bits; the
    // check is then skipped and the second case stands in).
    const QString dir = QFileInfo(dbPath).absolutePath();
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
    if (!QFile(dir + QStringLiteral("/probe")).open(QIODevice::WriteOnly)) {
        runWith(&TForm1::N10Click);
        expectError();
    }
    QFile::remove(dir + QStringLiteral("/probe"));
    ::chmod(QFile::encodeName(dir).constData(), 0755);

    // A backup name taken by a folder with a file in it cannot be replaced.
    ASSERT_TRUE(QFile::rename(backup, backup + QStringLiteral(".keep")));
    ASSERT_TRUE(QDir().mkpath(backup + QStringLiteral("/x")));
    runWith(&TForm1::N10Click);
    expectError();
    EXPECT_TRUE(QFileInfo(backup + QStringLiteral("/x")).isDir());
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral(".new")));
    QDir(backup).removeRecursively();
    ASSERT_TRUE(QFile::rename(backup + QStringLiteral(".keep"), backup));
    EXPECT_EQ(fileBytes(backup), earlier);
    EXPECT_EQ(count("patient"), 2); // the database went on working throughout
}

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

    // No backup; a foreign file; an SQLite file without our tables; one with
    // our tables that fails the full check once swapped in. Each is refused
    // with an error, the live file kept and connected.
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(variant);
        QFile::remove(backup);
        if (variant == 1) {
            QFile f(backup);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a database\n");
        } else if (variant >= 2) {
            if (variant == 3) {
                runWith(&TForm1::N10Click);
                ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
            }
            {
                QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dayend-other"));
                other.setDatabaseName(backup);
                ASSERT_TRUE(other.open());
                ASSERT_TRUE(QSqlQuery(other).exec(variant == 2 ? QStringLiteral("create table other (x integer)")
                                                               : QStringLiteral("alter table patient drop column bgtime")));
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("dayend-other"));
        }
        runWith(&TForm1::N20Click);
        EXPECT_FALSE(dialogs.shown.contains(kRestoreDone));
        EXPECT_FALSE(dialogs.shown.contains(kExitAsk));
        ASSERT_EQ(dialogs.kinds.size(), 2u) << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(dialogs.kinds[1], dlg::Kind::Error);
        if (variant == 0)
            EXPECT_TRUE(dialogs.shown[1].contains(QStringLiteral("jykdb.mbk")));
        if (variant == 3)
            EXPECT_TRUE(dialogs.shown[1].contains(QStringLiteral("bgtime"))) << dialogs.shown[1].toStdString();
        EXPECT_TRUE(db::isConnected());
        EXPECT_EQ(dump(), before);
        if (variant < 3) {
            EXPECT_EQ(fileBytes(dbPath), fileBefore);
            bool same = false;
            db::scalar(QStringLiteral("select count(*) from sameconnection"), {}, &same);
            EXPECT_TRUE(same) << "the connection was dropped";
        }
    }
    // The connection and the window's datasets still work.
    addPatient("2", "王五");
    ASSERT_TRUE(Form1->patientset->requery());
    EXPECT_EQ(Form1->patientset->recordCount(), 2);
    EXPECT_EQ(dbdata->itemset->recordCount(), 24);
    EXPECT_FALSE(QFileInfo::exists(dbPath + QStringLiteral(".restore")));
    EXPECT_FALSE(QFileInfo::exists(dbPath + QStringLiteral(".previous")));
}

TEST_F(DayEnd, RestoreBringsBackTheBackupAndLeavesTheWindowWorking)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    addGraph("1");
    Form1->samplePageShow();
    Form1->N10Click();
    ASSERT_EQ(dialogs.shown, QStringList{kBackupDone});
    const auto atBackup = dump();
    const int kindsAtBackup = dbdata->kindset->recordCount();

    // The day goes on after the backup.
    addPatient("2", "王五");
    run("delete from testresult");
    run("insert into samplekind (name) values ('胸水')");
    ASSERT_TRUE(dbdata->kindset->requery());
    Form1->patientrefresh();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);

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
    // The window and the data module show the restored file at once...
    EXPECT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->testresultset->recordCount(), 1);
    EXPECT_EQ(dbdata->kindset->recordCount(), kindsAtBackup);
    // ... and keep working on it.
    ASSERT_TRUE(dbdata->kindset->append());
    dbdata->kindset->setValue(QStringLiteral("name"), QStringLiteral("腹水"));
    EXPECT_TRUE(dbdata->kindset->post()) << dbdata->kindset->lastError().toStdString();
    EXPECT_EQ(count("samplekind"), kindsAtBackup + 1);
    EXPECT_FALSE(QFileInfo::exists(dbPath + QStringLiteral(".previous")));
    // The backup itself is untouched by its restore.
    OtherDb copy(backup);
    EXPECT_EQ(dump(copy.database()), atBackup);
    Form1->hide();
}

// ---- end of day -------------------------------------------------------------

TEST_F(DayEnd, EndOfDayMovesEveryColumnIntoItsHistoryColumn)
{
    // A registered sample with a distinct text in every column.
    const QStringList cols = {"shelfid", "mzno", "caseno", "name", "sex", "age", "depart", "kind", "diagnose",
                              "doctor", "taketime", "takedate", "apperance", "checkdate", "operator", "bedno", "bgtime"};
    QVariantList values;
    for (const QString &c : cols)
        values << (c == QLatin1String("shelfid") ? QStringLiteral("7") : c + QStringLiteral("·值"));
    values[cols.indexOf(QStringLiteral("checkdate"))] = QStringLiteral("2026-12-05");
    run(QStringLiteral("insert into patient (%1, printflag) values (%2 1)")
            .arg(cols.join(QStringLiteral(", ")), QStringLiteral("?, ").repeated(cols.size())), values);
    addResult("7", 3, "12.3", "2026-12-05");
    addResult("7", 4, "*", "2026-12-05");
    addGraph("7", "2026-12-05");
    // A sample of today, one never registered, and two control samples.
    addPatient("8", "王五");
    addResult("8", 1, "6.1");
    addResult("99", 1, "4.4");
    addGraph("99");
    addPatient("3", "质控品1");
    addResult("3", 1, "7.0");
    addGraph("3");
    addPatient("4", "质控品A");
    addResult("4", 2, "1.0");
    const QString graphCols = QStringLiteral("shelfid, hex(a1), hex(a2), hex(a3), hex(a4), hex(a5), hex(a6), hex(a7), "
                                             "hex(a8), hex(a9), hex(a10), hex(a11), hex(a12), typeof(a5), checkdate");
    const Rows graphsBefore = rows(QStringLiteral("select %1 from gresult where shelfid in ('7', '99') order by shelfid").arg(graphCols));
    const Rows resultsBefore = rows("select shelfid, itemid, value, checkdate from testresult "
                                    "where shelfid in ('7', '8', '99') order by shelfid, itemid");
    Form1->samplePageShow();
    ASSERT_EQ(Form1->patientset->recordCount(), 4);

    Form1->N12->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(frmmessage, nullptr);
    // Each patient column in its own history column.
    const Rows hp = rows(QStringLiteral("select %1 from histpatient where shelfid = '7'").arg(cols.join(',')));
    ASSERT_EQ(hp.size(), 1);
    for (int i = 0; i < cols.size(); ++i)
        EXPECT_EQ(hp[0][i], values[i]) << cols[i].toStdString();
    EXPECT_EQ(rows("select shelfid from histpatient order by shelfid"), (Rows{{"7"}, {"8"}}));
    // Results, those without a registration too, under their own columns;
    // the counter numbers every archived row.
    EXPECT_EQ(rows("select shelfid, itemid, value, checkdate from hisresult order by shelfid, itemid"), resultsBefore);
    EXPECT_EQ(rows("select count(distinct rowno) from hisresult"), (Rows{{4}}));
    // Graph lines byte for byte, the unregistered sample's as well.
    EXPECT_EQ(rows(QStringLiteral("select %1 from hisgresult order by shelfid").arg(graphCols)), graphsBefore);
    // Control samples are gone without a trace; the day tables are empty.
    for (const char *t : {"patient", "testresult", "gresult"})
        EXPECT_EQ(count(t), 0) << t;
    // The list, its results and graphs are re-read and empty.
    EXPECT_TRUE(Form1->patientset->isOpen());
    EXPECT_EQ(Form1->patientset->recordCount() + Form1->testresultset->recordCount() + Form1->gresultset->recordCount(), 0);

    // An empty list: the entry does nothing, not even ask.
    runWith(&TForm1::N12Click);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(DayEnd, EndOfDayDoesNothingWhenCancelledOrTheListShowsNoRow)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    addResult("2", 1, "4.5");
    addPatient("3", "质控品1");
    Form1->samplePageShow();
    const auto before = dump();

    dialogs.answer(false);
    Form1->N12Click();
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(frmmessage, nullptr);
    EXPECT_EQ(dump(), before);
    // "已打印" while nothing is printed: the list is empty, the tables are not.
    Form1->N24Click();
    runWith(&TForm1::N12Click);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dump(), before);
    // "未打印" shows them; the end of day keeps that filter afterwards.
    Form1->N23Click();
    const QString unprinted = Form1->patientset->sql();
    runWith(&TForm1::N12Click);
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(Form1->patientset->sql(), unprinted);
    EXPECT_EQ(count("hisresult"), 2);
}

TEST_F(DayEnd, AFailureAnywhereLeavesEveryTableAsItWas)
{
    addPatient("1", "张三");
    addResult("1", 1, "5.5");
    addGraph("1");
    addPatient("2", "质控品3");
    addResult("2", 1, "7.0");
    addGraph("2");
    addResult("5", 2, "3.3");
    Form1->samplePageShow();
    const auto before = dump();

    // The database refuses, in turn, the first control delete, the graph
    // copy and the very last delete.
    for (const char *point : {"before delete on testresult", "before insert on hisgresult",
                              "before delete on gresult when old.shelfid = '1'"}) {
        SCOPED_TRACE(point);
        run(QStringLiteral("create temp trigger refuse %1 begin select raise(abort, '磁盘已满'); end").arg(QLatin1String(point)));
        runWith(&TForm1::N12Click);
        ASSERT_EQ(dialogs.shown.size(), 2) << dialogs.shown.join('|').toStdString();
        EXPECT_EQ(dialogs.kinds[1], dlg::Kind::Error);
        EXPECT_TRUE(dialogs.shown[1].contains(QStringLiteral("磁盘已满"))) << dialogs.shown[1].toStdString();
        EXPECT_EQ(frmmessage, nullptr);
        EXPECT_EQ(dump(), before);
        EXPECT_EQ(Form1->patientset->recordCount(), 2);
        run("drop trigger refuse");
    }
    // Once the database accepts, one run archives everything exactly once.
    runWith(&TForm1::N12Click);
    EXPECT_EQ(dialogs.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(count("histpatient"), 1);
    EXPECT_EQ(count("hisresult"), 2);
    EXPECT_EQ(count("hisgresult"), 1);
}

} // namespace
