// Opening the database file: created when missing, refused and left alone
// when it is not ours.
#include "base/database.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

class OpenDatabase : public ::testing::Test
{
protected:
    void TearDown() override { db::disconnect(); }
    QString path() const { return m_dir.filePath(QStringLiteral("jykdb.mdb")); }

    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A database made from the schema, then changed by `sql`.
    void makeAltered(const char *sql)
    {
        QString error;
        ASSERT_TRUE(appdb::createDatabaseFile(path(), true, &error)) << error.toStdString();
        sqlite3 *h = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path()).constData(), &h), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(h, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
        sqlite3_close(h);
    }

    QTemporaryDir m_dir;
};

TEST_F(OpenDatabase, MissingFileIsCreatedThenOpenedButNeverOverwritten)
{
    QString error;
    ASSERT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Created) << error.toStdString();
    // Defaults loaded, and the program's SQL functions registered.
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) > 20 and val('10') > val('9') from itemtb")).toInt(), 1);
    db::disconnect();

    const QByteArray created = contents(path());
    EXPECT_FALSE(appdb::createDatabaseFile(path(), true, &error) || error.isEmpty());
    EXPECT_EQ(contents(path()), created);

    ASSERT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Opened) << error.toStdString();
    EXPECT_TRUE(db::isConnected() && appdb::verifySchema(&error)) << error.toStdString();
}

TEST_F(OpenDatabase, ForeignFilesAreReportedAndLeftUntouched)
{
    const QByteArray samples[] = {
        QByteArray("名字,年龄\n张三,30\n"),
        QByteArray(),                                   // empty: would become an empty database
        QByteArray("SQLite format 3", 15),              // header cut short
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), // binary, 16 bytes
    };
    for (const QByteArray &bytes : samples) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
        f.close();
        QString error;
        EXPECT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Failed) << bytes.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("jykdb.mdb")) && contents(path()) == bytes && !db::isConnected())
            << error.toStdString();
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("jykdb.mdb")});
}

// Missing tables or columns are named and the file is left as it was; extra
// tables and columns are fine, and column names match without regard to case.
TEST_F(OpenDatabase, DatabaseWithoutOurTablesOrColumnsIsRefused)
{
    const struct { const char *sql; QStringList named; bool opens; } cases[] = {
        {"drop table patient; drop table qctb;",
         {QStringLiteral("数据库文件 jykdb.mdb 不是本系统的数据库"), QStringLiteral("缺少表"), QStringLiteral("patient"),
          QStringLiteral("qctb")}, false},
        {"alter table patient drop column printflag; alter table itemtb add column remark text; create table notes (x text);",
         {QStringLiteral("patient.printflag")}, false},
        {"alter table patient rename column printflag to PrintFlag; alter table itemtb add column remark text;", {}, true},
    };
    for (const auto &c : cases) {
        QFile::remove(path());
        makeAltered(c.sql);
        const QByteArray before = contents(path());
        QString error;
        EXPECT_EQ(appdb::openOrCreate(path(), &error), c.opens ? appdb::OpenResult::Opened : appdb::OpenResult::Failed)
            << c.sql << ": " << error.toStdString();
        EXPECT_EQ(db::isConnected(), c.opens) << c.sql;
        for (const QString &n : c.named)
            EXPECT_TRUE(error.contains(n)) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("itemtb"))) << error.toStdString();
        db::disconnect();
        if (!c.opens)
            EXPECT_EQ(contents(path()), before) << c.sql;
    }
}

// Failures of a file of ours read as what happened and what to do, with the
// database's own text kept; a text told once is not told again (message
// boxes tell every text they show), and texts of other files are left alone.
TEST_F(OpenDatabase, FileErrorsAreToldInChineseOnce)
{
    const struct { const char *text, *sentence; } cases[] = {
        {"database is locked", "正被其他程序占用"},
        {"database table is locked", "正被其他程序占用"},
        {"attempt to write a readonly database", "只读"},
        {"database or disk is full", "磁盘空间已满"},
        {"database disk image is malformed", "已损坏或无法读取"},
        {"file is not a database", "已损坏或无法读取"},
        {"disk I/O error", "磁盘错误"},
    };
    for (const auto &c : cases) {
        const QString said = appdb::describeError(QString::fromLatin1(c.text) + QStringLiteral(" Unable to fetch row"));
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.sentence))
                    && said.endsWith(QStringLiteral("（%1 Unable to fetch row）").arg(QLatin1String(c.text))))
            << said.toStdString();
        const QString inContext = QStringLiteral("标本未能保存：") + said;
        EXPECT_EQ(appdb::describeError(said).toStdString(), said.toStdString());
        EXPECT_EQ(appdb::describeError(inContext).toStdString(), inContext.toStdString());
    }
    // A sentence of the program's own with the database's text in brackets
    // after it is told already; the database's text before the brackets is not.
    const QString own = QStringLiteral("磁盘空间已满，数据库未能备份，请清理磁盘空间后再备份。（database or disk is full）");
    EXPECT_EQ(appdb::describeError(own).toStdString(), own.toStdString());
    EXPECT_TRUE(appdb::describeError(QStringLiteral("database is locked（x）")).startsWith(QStringLiteral("数据库文件正被")));
    for (const char *other : {"no such table: x", "无法写入 ttt.txt：No space left on device",
                              "无法写入 ttt.txt：Read-only file system", "无法读取 ttt.txt：Input/output error"})
        EXPECT_EQ(appdb::describeError(QString::fromUtf8(other)).toStdString(), other);
}

} // namespace
