// Backup, restore and the end of the working day through the main window's
// handlers, the dialog seam answering and the database checked table by table.
#include "common/dialogscript.h"
#include "common/testdb.h"

#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/session.h"
#include "app/umessage.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/widgets/statusbar.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSqlDriver>
#include <QSqlQuery>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const QString kOperator = QStringLiteral("李四");
const QString kBackupDone = QStringLiteral("数据库备份完成！");
const QString kRestoreDone = QStringLiteral("数据库恢复完成！");
const QString kRestoreAsk =
    QStringLiteral("[恢复数据库]将备份的数据库恢复为现有数据库，可能导致部分未备份数据丢失，继续吗？");
const QString kExitAsk = QStringLiteral("退出程序将不能接收数据，确定要退出吗？");
const QString kDayEndAsk = QStringLiteral("确实要结束当日工作吗？");
const QStringList kTables = {QStringLiteral("patient"),     QStringLiteral("testresult"),
                             QStringLiteral("gresult"),     QStringLiteral("histpatient"),
                             QStringLiteral("hisresult"),   QStringLiteral("hisgresult")};

using Rows = QVector<QVariantList>;

Rows rows(const QString &sql, const QVariantList &params = {}, QSqlDatabase d = db::database())
{
    Rows r;
    QString err;
    EXPECT_TRUE(db::select(d, sql, params, &r, &err)) << err.toStdString();
    return r;
}

// Every day and history table, rows in storage order, values with their types.
QMap<QString, Rows> dump(QSqlDatabase d = db::database())
{
    QMap<QString, Rows> m;
    for (const QString &t : kTables)
        m[t] = rows(QStringLiteral("select * from %1 order by rowid").arg(t), {}, d);
    return m;
}

void run(const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(sql, params, &err)) << err.toStdString() << " in " << sql.toStdString();
}

void addPatient(const QString &id, const QString &name, const QString &date = QStringLiteral("2026-12-06"),
                int printflag = 0)
{
    run(QStringLiteral("insert into patient (shelfid, name, checkdate, operator, printflag) values (?, ?, ?, ?, ?)"),
        {id, name, date, kOperator, printflag});
}

void addResult(const QString &id, int itemid, const QString &value, const QString &date = QStringLiteral("2026-12-06"))
{
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
        {id, date, itemid, value});
}

// A graph row whose lines carry bytes above 0x7F, stored as intake stores them.
void addGraph(const QString &id, const QString &date = QStringLiteral("2026-12-06"))
{
    QVariantList p{id};
    for (int i = 1; i <= 12; ++i) {
        QByteArray line = "  " + QByteArray::number(i) + " ";
        for (int b = 0; b < 40; ++b)
            line.append(char((0x80 + i * 7 + b * 3) & 0xFF));
        line.append("  ");
        p.append(QString::fromLatin1(line));
    }
    p.append(date);
    run(QStringLiteral("insert into gresult (shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, checkdate) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        p);
}

int count(const QString &table)
{
    return db::scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
}

// A second connection to another file, closed and removed with the object.
struct OtherDb
{
    explicit OtherDb(const QString &path)
    {
        QString err;
        ok = db::connectNamed(name, path, &err);
        EXPECT_TRUE(ok) << err.toStdString();
    }
    ~OtherDb()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase database() const { return QSqlDatabase::database(name, false); }
    QString name = QStringLiteral("dayend-test-other");
    bool ok = false;
};

// What the message window showed while the archive statements ran: a
// function of the test called by a trigger on the history table.
QStringList g_probe;
void probeFunction(sqlite3_context *ctx, int, sqlite3_value **)
{
    g_probe << (frmmessage && frmmessage->isVisible() ? frmmessage->Label1->text() : QStringLiteral("<none>"));
    sqlite3_result_null(ctx);
}

void installProbe()
{
    QSqlDatabase d = db::database();
    const QVariant h = d.driver()->handle();
    ASSERT_STREQ(h.typeName(), "sqlite3*");
    sqlite3 *handle = *static_cast<sqlite3 *const *>(h.data());
    ASSERT_EQ(sqlite3_create_function(handle, "dayend_probe", 0, SQLITE_UTF8, nullptr, probeFunction, nullptr,
                                      nullptr),
              SQLITE_OK);
    run(QStringLiteral("create temp trigger dayend_probe_t after insert on histpatient "
                       "begin select dayend_probe(); end"));
}

class DayEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"));
        path = testdb::fresh();
        backup = QFileInfo(path).dir().filePath(QStringLiteral("jykdb.mbk"));
        dbdata = new Tdbdata(path);
        ASSERT_TRUE(dbdata->connected()) << dbdata->openError().toStdString();
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(kOperator);
        Form1 = new TForm1;
        Form1->StatusBar1->setPanelText(3, kOperator);
        Form1->buildDayEnd();
        Form1->buildDayEnd(); // a second call connects nothing twice
        g_probe.clear();
    }
    void TearDown() override
    {
        delete Form1;
        Form1 = nullptr;
        delete dbdata;
        dbdata = nullptr;
        EXPECT_EQ(frmmessage, nullptr);
    }

    QString path;
    QString backup;
};

// ---- backup -----------------------------------------------------------------

TEST_F(DayEnd, BackupHoldsWhatWasJustWrittenAndASecondOneReplacesIt)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    addResult(QStringLiteral("1"), 1, QStringLiteral("5.5"));
    DialogScript d;
    Form1->N10->trigger(); // hidden, yet its handler is connected once
    ASSERT_EQ(d.shown, QStringList{kBackupDone});
    {
        OtherDb copy(backup);
        ASSERT_TRUE(copy.ok);
        EXPECT_EQ(dump(copy.database()), dump());
        EXPECT_EQ(rows(QStringLiteral("pragma user_version"), {}, copy.database()),
                  rows(QStringLiteral("pragma user_version")));
    }

    // The live database stays connected and in use.
    addPatient(QStringLiteral("2"), QStringLiteral("王五"));
    run(QStringLiteral("delete from testresult"));
    d.clear();
    Form1->N10Click();
    EXPECT_EQ(d.shown, QStringList{kBackupDone});
    OtherDb copy(backup);
    EXPECT_EQ(dump(copy.database()), dump());
    EXPECT_EQ(rows(QStringLiteral("select shelfid from patient order by shelfid"), {}, copy.database()).size(), 2);
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral(".new")));
    EXPECT_FALSE(Form1->N10->isVisible());
    EXPECT_FALSE(Form1->N20->isVisible());
}

TEST_F(DayEnd, FailedBackupShowsNoCompletionAndKeepsTheEarlierBackup)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    DialogScript d;
    Form1->N10Click();
    ASSERT_EQ(d.shown, QStringList{kBackupDone});
    const QByteArray earlier = [&] { QFile f(backup); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    addPatient(QStringLiteral("2"), QStringLiteral("王五"));

    // A folder that refuses new files (root ignores the mode bits; the
    // check below is then skipped and the second case stands in).
    const QString dir = QFileInfo(path).absolutePath();
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
    const bool refuses = !QFile(dir + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
    if (refuses) {
        d.clear();
        Form1->N10Click();
        EXPECT_FALSE(d.shown.contains(kBackupDone));
        ASSERT_EQ(d.kinds.size(), 1u);
        EXPECT_EQ(d.kinds[0], dlg::Kind::Error);
        EXPECT_TRUE(d.last().contains(QStringLiteral("jykdb.mbk"))) << d.last().toStdString();
    }
    QFile::remove(dir + QStringLiteral("/probe"));
    ::chmod(QFile::encodeName(dir).constData(), 0755);

    // A backup name taken by a folder with a file in it cannot be replaced.
    ASSERT_TRUE(QFile::rename(backup, backup + QStringLiteral(".keep")));
    ASSERT_TRUE(QDir().mkpath(backup + QStringLiteral("/x")));
    d.clear();
    Form1->N10Click();
    EXPECT_FALSE(d.shown.contains(kBackupDone));
    ASSERT_EQ(d.kinds.size(), 1u);
    EXPECT_EQ(d.kinds[0], dlg::Kind::Error);
    EXPECT_TRUE(d.last().contains(QStringLiteral("jykdb.mbk"))) << d.last().toStdString();
    EXPECT_TRUE(QFileInfo(backup + QStringLiteral("/x")).isDir());
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral(".new")));
    QDir(backup).removeRecursively();
    ASSERT_TRUE(QFile::rename(backup + QStringLiteral(".keep"), backup));
    QFile f(backup);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), earlier);
    // The database went on working throughout.
    EXPECT_EQ(count(QStringLiteral("patient")), 2);
}

// ---- restore ----------------------------------------------------------------

TEST_F(DayEnd, RestoreRefusedWithoutAUsableBackupAndNothingChanges)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    Form1->samplePageShow();
    // A temporary table lives only as long as this very connection.
    run(QStringLiteral("create temp table sameconnection (x integer)"));
    const auto before = dump();
    const QByteArray fileBefore = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    // No: nothing at all.
    {
        DialogScript d;
        d.answer(false);
        Form1->N20Click();
        EXPECT_EQ(d.shown, QStringList{kRestoreAsk});
    }
    // No backup file: an error naming it, no completion, no exit question.
    {
        DialogScript d;
        Form1->N20->trigger();
        ASSERT_EQ(d.shown.size(), 2) << d.shown.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(d.kinds[1], dlg::Kind::Error);
        EXPECT_TRUE(d.shown[1].contains(QStringLiteral("jykdb.mbk")));
        EXPECT_FALSE(d.shown.contains(kRestoreDone));
    }
    // A backup that is no database of ours, either a foreign file or an
    // SQLite file without our tables: refused, the live file kept.
    for (int variant = 0; variant < 2; ++variant) {
        QFile::remove(backup);
        if (variant == 0) {
            QFile f(backup);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("not a database\n");
        } else {
            // An SQLite file holding one unrelated table.
            const QString n = QStringLiteral("dayend-foreign");
            {
                QSqlDatabase f = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), n);
                f.setDatabaseName(backup);
                ASSERT_TRUE(f.open());
                QSqlQuery(f).exec(QStringLiteral("create table other (x integer)"));
                f.close();
            }
            QSqlDatabase::removeDatabase(n);
        }
        DialogScript d;
        Form1->N20Click();
        EXPECT_FALSE(d.shown.contains(kRestoreDone)) << variant;
        EXPECT_FALSE(d.shown.contains(kExitAsk)) << variant;
        ASSERT_EQ(d.kinds.size(), 2u);
        EXPECT_EQ(d.kinds[1], dlg::Kind::Error);
        EXPECT_TRUE(db::isConnected());
        EXPECT_EQ(dump(), before);
        bool same = false;
        db::scalar(QStringLiteral("select count(*) from sameconnection"), {}, &same);
        EXPECT_TRUE(same) << "the connection was dropped";
    }

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), fileBefore);
    f.close();

    // A backup with all our tables that still fails the full check once
    // swapped in: the old file goes back and is connected again.
    QFile::remove(backup);
    {
        DialogScript d;
        Form1->N10Click();
        ASSERT_EQ(d.shown, QStringList{kBackupDone});
        OtherDb other(backup);
        ASSERT_TRUE(QSqlQuery(other.database()).exec(QStringLiteral("alter table patient drop column bgtime")));
    }
    {
        DialogScript d;
        Form1->N20Click();
        EXPECT_FALSE(d.shown.contains(kRestoreDone));
        ASSERT_EQ(d.kinds.size(), 2u);
        EXPECT_EQ(d.kinds[1], dlg::Kind::Error);
        EXPECT_TRUE(d.shown[1].contains(QStringLiteral("bgtime"))) << d.shown[1].toStdString();
    }
    EXPECT_EQ(dump(), before);

    // The connection and the window's datasets still work.
    ASSERT_TRUE(db::isConnected());
    addPatient(QStringLiteral("2"), QStringLiteral("王五"));
    EXPECT_EQ(count(QStringLiteral("patient")), 2);
    ASSERT_TRUE(Form1->patientset->requery());
    EXPECT_EQ(Form1->patientset->recordCount(), 2);
    EXPECT_EQ(dbdata->itemset->recordCount(), 24);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".restore")));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".previous")));
}

TEST_F(DayEnd, RestoreBringsBackTheBackupAndLeavesTheWindowWorking)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    addResult(QStringLiteral("1"), 1, QStringLiteral("5.5"));
    addGraph(QStringLiteral("1"));
    Form1->samplePageShow();
    {
        DialogScript d;
        Form1->N10Click();
        ASSERT_EQ(d.shown, QStringList{kBackupDone});
    }
    const auto atBackup = dump();
    const int kindsAtBackup = dbdata->kindset->recordCount();

    // The day goes on after the backup.
    addPatient(QStringLiteral("2"), QStringLiteral("王五"));
    run(QStringLiteral("delete from testresult"));
    run(QStringLiteral("insert into samplekind (name) values ('胸水')"));
    ASSERT_TRUE(dbdata->kindset->requery());
    ASSERT_EQ(dbdata->kindset->recordCount(), kindsAtBackup + 1);
    Form1->patientrefresh();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);

    Form1->show();
    DialogScript d;
    d.answer(true);  // restore
    d.answer(true);  // completion message
    d.answer(false); // stay in the program
    Form1->N20Click();
    EXPECT_EQ(d.shown, (QStringList{kRestoreAsk, kRestoreDone, kExitAsk}));
    EXPECT_TRUE(Form1->isVisible());

    ASSERT_TRUE(db::isConnected());
    EXPECT_EQ(dump(), atBackup);
    // The window and the data module show the restored file at once.
    EXPECT_EQ(Form1->patientset->recordCount(), 1);
    EXPECT_EQ(Form1->patientset->text(QStringLiteral("shelfid")), QStringLiteral("1"));
    EXPECT_EQ(Form1->testresultset->recordCount(), 1);
    EXPECT_EQ(dbdata->kindset->recordCount(), kindsAtBackup);
    EXPECT_EQ(dbdata->itemset->recordCount(), 24);
    // ... and keep working on it.
    ASSERT_TRUE(dbdata->kindset->append());
    dbdata->kindset->setValue(QStringLiteral("name"), QStringLiteral("腹水"));
    EXPECT_TRUE(dbdata->kindset->post()) << dbdata->kindset->lastError().toStdString();
    EXPECT_EQ(count(QStringLiteral("samplekind")), kindsAtBackup + 1);
    addPatient(QStringLiteral("3"), QStringLiteral("赵六"));
    EXPECT_EQ(count(QStringLiteral("patient")), 2);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".restore")));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".previous")));
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
                              "doctor", "taketime", "takedate", "apperance", "checkdate", "operator", "bedno",
                              "bgtime"};
    QStringList values;
    for (const QString &c : cols)
        values << (c == QLatin1String("shelfid") ? QStringLiteral("7") : c + QStringLiteral("·值"));
    values[cols.indexOf(QStringLiteral("checkdate"))] = QStringLiteral("2026-12-05");
    QVariantList params;
    for (const QString &v : values)
        params << v;
    run(QStringLiteral("insert into patient (%1, printflag) values (%2?)")
            .arg(cols.join(QStringLiteral(", ")), QStringLiteral("?, ").repeated(cols.size())),
        params << 1);
    addResult(QStringLiteral("7"), 3, QStringLiteral("12.3"), QStringLiteral("2026-12-05"));
    addResult(QStringLiteral("7"), 4, QStringLiteral("*"), QStringLiteral("2026-12-05"));
    addGraph(QStringLiteral("7"), QStringLiteral("2026-12-05"));
    // A sample of today, one never registered, and two control samples.
    addPatient(QStringLiteral("8"), QStringLiteral("王五"));
    addResult(QStringLiteral("8"), 1, QStringLiteral("6.1"));
    addResult(QStringLiteral("99"), 1, QStringLiteral("4.4"));
    addGraph(QStringLiteral("99"));
    addPatient(QStringLiteral("3"), QStringLiteral("质控品1"));
    addResult(QStringLiteral("3"), 1, QStringLiteral("7.0"));
    addGraph(QStringLiteral("3"));
    addPatient(QStringLiteral("4"), QStringLiteral("质控品A"));
    addResult(QStringLiteral("4"), 2, QStringLiteral("1.0"));
    const Rows graphsBefore = rows(QStringLiteral("select shelfid, hex(a1), hex(a2), hex(a3), hex(a4), hex(a5), "
                                                  "hex(a6), hex(a7), hex(a8), hex(a9), hex(a10), hex(a11), "
                                                  "hex(a12), typeof(a5), checkdate from gresult "
                                                  "where shelfid in ('7', '99') order by shelfid"));
    const Rows resultsBefore = rows(QStringLiteral("select shelfid, itemid, value, checkdate from testresult "
                                                   "where shelfid in ('7', '8', '99') order by shelfid, itemid"));
    Form1->samplePageShow();
    ASSERT_EQ(Form1->patientset->recordCount(), 4);
    installProbe();

    DialogScript d;
    Form1->N12->trigger();
    EXPECT_EQ(d.shown, QStringList{kDayEndAsk});
    // The message window was up, with its text, while the rows were copied.
    ASSERT_FALSE(g_probe.isEmpty());
    for (const QString &p : g_probe)
        EXPECT_EQ(p, QStringLiteral("正在结束当日工作，关闭程序或关机将可能丢失数..."));
    EXPECT_EQ(frmmessage, nullptr);

    // Each patient column in its own history column.
    const Rows hp = rows(QStringLiteral("select %1 from histpatient where shelfid = '7'").arg(cols.join(QLatin1Char(','))));
    ASSERT_EQ(hp.size(), 1);
    for (int i = 0; i < cols.size(); ++i)
        EXPECT_EQ(hp[0][i].toString(), values[i]) << cols[i].toStdString();
    EXPECT_EQ(rows(QStringLiteral("select shelfid from histpatient order by shelfid")),
              (Rows{{QStringLiteral("7")}, {QStringLiteral("8")}}));

    // Results, those without a registration too, under their own columns;
    // the counter numbers every archived row.
    EXPECT_EQ(rows(QStringLiteral("select shelfid, itemid, value, checkdate from hisresult order by shelfid, itemid")),
              resultsBefore);
    const Rows numbers = rows(QStringLiteral("select count(distinct rowno), count(rowno), count(*) from hisresult"));
    EXPECT_EQ(numbers[0][0].toInt(), 4);
    EXPECT_EQ(numbers[0][1].toInt(), 4);

    // Graph lines byte for byte, the unregistered sample's as well.
    EXPECT_EQ(rows(QStringLiteral("select shelfid, hex(a1), hex(a2), hex(a3), hex(a4), hex(a5), hex(a6), hex(a7), "
                                  "hex(a8), hex(a9), hex(a10), hex(a11), hex(a12), typeof(a5), checkdate "
                                  "from hisgresult order by shelfid")),
              graphsBefore);

    // Control samples are gone without a trace; the day tables are empty.
    for (const QString &t : {QStringLiteral("patient"), QStringLiteral("testresult"), QStringLiteral("gresult")})
        EXPECT_EQ(count(t), 0) << t.toStdString();
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from hisresult where shelfid in ('3', '4')")).toInt(), 0);
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from hisgresult where shelfid = '3'")).toInt(), 0);

    // The list, its results and graphs are re-read and empty.
    EXPECT_TRUE(Form1->patientset->isOpen());
    EXPECT_EQ(Form1->patientset->recordCount(), 0);
    EXPECT_EQ(Form1->testresultset->recordCount(), 0);
    EXPECT_EQ(Form1->gresultset->recordCount(), 0);

    // An empty list: the entry does nothing, not even ask.
    d.clear();
    Form1->N12Click();
    EXPECT_TRUE(d.shown.isEmpty());
}

TEST_F(DayEnd, OnlyControlSamplesLeaveNothingInTheHistory)
{
    addPatient(QStringLiteral("1"), QStringLiteral("质控品2"));
    addResult(QStringLiteral("1"), 1, QStringLiteral("7.0"));
    addGraph(QStringLiteral("1"));
    Form1->samplePageShow();
    DialogScript d;
    Form1->N12Click();
    EXPECT_EQ(d.shown, QStringList{kDayEndAsk});
    for (const QString &t : kTables)
        EXPECT_EQ(count(t), 0) << t.toStdString();
}

TEST_F(DayEnd, EndOfDayDoesNothingWhenCancelledOrTheListShowsNoRow)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    addResult(QStringLiteral("1"), 1, QStringLiteral("5.5"));
    addResult(QStringLiteral("2"), 1, QStringLiteral("4.5"));
    addPatient(QStringLiteral("3"), QStringLiteral("质控品1"));
    Form1->samplePageShow();
    const auto before = dump();
    installProbe();

    DialogScript d;
    d.answer(false);
    Form1->N12Click();
    EXPECT_EQ(d.shown, QStringList{kDayEndAsk});
    EXPECT_TRUE(g_probe.isEmpty());
    EXPECT_EQ(frmmessage, nullptr);
    EXPECT_EQ(dump(), before);

    // "已打印" while nothing is printed: the list is empty, the tables are not.
    Form1->N24Click();
    ASSERT_EQ(Form1->patientset->recordCount(), 0);
    d.clear();
    Form1->N12Click();
    EXPECT_TRUE(d.shown.isEmpty());
    EXPECT_EQ(dump(), before);

    // "未打印" shows them; the end of day keeps that filter afterwards.
    Form1->N23Click();
    const QString unprinted = Form1->patientset->sql();
    ASSERT_EQ(Form1->patientset->recordCount(), 2);
    d.clear();
    Form1->N12Click();
    EXPECT_EQ(d.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(Form1->patientset->sql(), unprinted);
    EXPECT_EQ(count(QStringLiteral("hisresult")), 2);
}

TEST_F(DayEnd, AFailureAnywhereLeavesEveryTableAsItWas)
{
    addPatient(QStringLiteral("1"), QStringLiteral("张三"));
    addResult(QStringLiteral("1"), 1, QStringLiteral("5.5"));
    addGraph(QStringLiteral("1"));
    addPatient(QStringLiteral("2"), QStringLiteral("质控品3"));
    addResult(QStringLiteral("2"), 1, QStringLiteral("7.0"));
    addGraph(QStringLiteral("2"));
    addResult(QStringLiteral("5"), 2, QStringLiteral("3.3"));
    Form1->samplePageShow();
    const auto before = dump();

    // The database refuses, in turn, the first control delete, the graph
    // copy and the very last delete.
    const QStringList points = {QStringLiteral("before delete on testresult"),
                                QStringLiteral("before insert on hisgresult"),
                                QStringLiteral("before delete on gresult when old.shelfid = '1'")};
    for (const QString &point : points) {
        SCOPED_TRACE(point.toStdString());
        run(QStringLiteral("create temp trigger refuse %1 begin select raise(abort, '磁盘已满'); end").arg(point));
        DialogScript d;
        Form1->N12Click();
        ASSERT_EQ(d.shown.size(), 2) << d.shown.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(d.shown[0], kDayEndAsk);
        EXPECT_EQ(d.kinds[1], dlg::Kind::Error);
        EXPECT_TRUE(d.shown[1].contains(QStringLiteral("磁盘已满"))) << d.shown[1].toStdString();
        EXPECT_EQ(frmmessage, nullptr);
        EXPECT_EQ(dump(), before);
        EXPECT_EQ(Form1->patientset->recordCount(), 2);
        run(QStringLiteral("drop trigger refuse"));
    }

    // Once the database accepts, one run archives everything exactly once.
    DialogScript d;
    Form1->N12Click();
    EXPECT_EQ(d.shown, QStringList{kDayEndAsk});
    EXPECT_EQ(count(QStringLiteral("histpatient")), 1);
    EXPECT_EQ(count(QStringLiteral("hisresult")), 2);
    EXPECT_EQ(count(QStringLiteral("hisgresult")), 1);
}

} // namespace
