// Opening the database file: created when missing, refused and left alone
// when it is not ours.
#include "app/database.h"
#include "platform/db/connection.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
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

TEST_F(OpenDatabase, MissingFileIsCreatedThenOpened)
{
    QString error;
    ASSERT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Created) << error.toStdString();
    ASSERT_TRUE(db::isConnected());
    QSqlQuery q(db::database());
    ASSERT_TRUE(q.exec(QStringLiteral("select count(*) from itemtb")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 24);
    ASSERT_TRUE(q.exec(QStringLiteral("select val('10') > val('9')")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1) << "the program's SQL functions are registered";
    db::disconnect();

    ASSERT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Opened) << error.toStdString();
    EXPECT_TRUE(db::isConnected());
    EXPECT_TRUE(appdb::verifySchema(&error)) << error.toStdString();
}

TEST_F(OpenDatabase, CreatingNeverOverwrites)
{
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    QString error;
    EXPECT_FALSE(appdb::createDatabaseFile(path(), true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(path()), QByteArray("keep me"));

    // Without defaults: the schema alone.
    const QString bare = m_dir.filePath(QStringLiteral("bare.mdb"));
    ASSERT_TRUE(appdb::createDatabaseFile(bare, false, &error)) << error.toStdString();
    ASSERT_TRUE(db::connect(bare, &error));
    QSqlQuery q(db::database());
    ASSERT_TRUE(q.exec(QStringLiteral("select count(*) from itemtb")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);
    EXPECT_TRUE(appdb::verifySchema(&error)) << error.toStdString();
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
        QFile::remove(path());
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        QString error;
        EXPECT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Failed) << bytes.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("jykdb.mdb"))) << error.toStdString();
        EXPECT_EQ(contents(path()), bytes);
        EXPECT_FALSE(db::isConnected());
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("jykdb.mdb")});
}

TEST_F(OpenDatabase, DatabaseWithoutOurTablesIsRefused)
{
    makeAltered("drop table patient; drop table qctb;");
    const QByteArray before = contents(path());
    QString error;
    EXPECT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("数据库文件 jykdb.mdb 不是本系统的数据库")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("缺少表")) && error.contains(QStringLiteral("patient"))
                && error.contains(QStringLiteral("qctb")))
        << error.toStdString();
    EXPECT_FALSE(db::isConnected());
    EXPECT_EQ(contents(path()), before);
}

TEST_F(OpenDatabase, DatabaseMissingAColumnIsRefusedButExtrasAreFine)
{
    makeAltered("alter table patient drop column printflag;"
                "alter table itemtb add column remark text;"
                "create table notes (x text);");
    QString error;
    EXPECT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("patient.printflag"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("itemtb"))) << error.toStdString();
    EXPECT_FALSE(db::isConnected());

    // Column names are matched without regard to case.
    QFile::remove(path());
    makeAltered("alter table patient rename column printflag to PrintFlag;"
                "alter table itemtb add column remark text;");
    EXPECT_EQ(appdb::openOrCreate(path(), &error), appdb::OpenResult::Opened) << error.toStdString();
}

} // namespace
