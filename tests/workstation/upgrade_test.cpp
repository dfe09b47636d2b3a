// A database file made by an earlier build, whose history tables carry only
// the indexes of that build: opening it adds this build's indexes in one
// transaction, leaves every row as it was, and shows the message window
// while it works on a large file.
#include "app/appsetup.h"
#include "base/database.h"
#include "app/umessage.h"
#include "common/testdb.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

const char *const kEarlierIndexes[] = {
    "CREATE INDEX histpatient_checkdate ON histpatient (checkdate)",
    "CREATE INDEX histpatient_shelfid ON histpatient (shelfid)",
    "CREATE INDEX histpatient_caseno ON histpatient (caseno)",
    "CREATE INDEX histpatient_name ON histpatient (name)",
    "CREATE INDEX hisresult_checkdate ON hisresult (checkdate)",
    "CREATE INDEX hisresult_shelfid ON hisresult (shelfid)",
    "CREATE INDEX hisgresult_checkdate ON hisgresult (checkdate)",
    "CREATE INDEX hisgresult_shelfid ON hisgresult (shelfid)",
};

void run(QSqlDatabase d, const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(d, sql, params, &err)) << err.toStdString() << " in " << sql.toStdString();
}

QStringList texts(QSqlDatabase d, const QString &sql)
{
    QVector<QVariantList> rows;
    QString err;
    EXPECT_TRUE(db::select(d, sql, {}, &rows, &err)) << err.toStdString();
    QStringList out;
    for (const QVariantList &r : rows) {
        QStringList cells;
        for (const QVariant &v : r)
            cells << v.toString();
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// A file as an earlier build left it, with rows of every kind of value;
// `padding` blocks of 4 KB make it large.
QString earlierFile(int padding = 0, const char *extra = nullptr)
{
    const QString path = testdb::tempDir() + QStringLiteral("/jykdb.mdb");
    QString err;
    EXPECT_TRUE(appdb::createDatabaseFile(path, true, &err)) << err.toStdString();
    {
        EXPECT_TRUE(db::connectNamed(QStringLiteral("earlier"), path, &err)) << err.toStdString();
        QSqlDatabase d = QSqlDatabase::database(QStringLiteral("earlier"));
        for (const QString &index : texts(d, QStringLiteral("select name from sqlite_master where type='index' "
                                                            "and tbl_name in ('histpatient','hisresult','hisgresult')")))
            run(d, QStringLiteral("drop index ") + index);
        for (const char *sql : kEarlierIndexes)
            run(d, QLatin1String(sql));
        run(d, QStringLiteral("insert into histpatient (shelfid, checkdate, name, caseno, age, bgtime) values "
                              "('5', '2020-03-01', 'O''Neil', 'z100', 40, NULL), ('5a', '2020-03-02', '张三', '', '4.50', '09:30')"));
        run(d, QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) values "
                              "('5', '2020-03-01', 1, '4.40'), ('5', '2020-03-01', 2, NULL), ('5a', '2020-03-02', 1, 7)"));
        run(d, QStringLiteral("insert into hisgresult (shelfid, checkdate, a1, a2) values (?, ?, ?, ?)"),
            {QStringLiteral("5"), QStringLiteral("2020-03-01"), QByteArray("\x01\xff\x80 raw", 8), QStringLiteral("!\"#$")});
        run(d, QStringLiteral("insert into patient (shelfid, name, checkdate) values ('1', '李四', '2020-03-03')"));
        if (padding > 0)
            run(d, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                  "insert into hisgresult (shelfid, checkdate, a1) select i, '2019-01-01', hex(zeroblob(2048)) from n"),
                {padding});
        if (extra)
            run(d, QLatin1String(extra));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("earlier"));
    return path;
}

// Everything but the indexes, every value quoted with its type and bytes.
QStringList content(const QString &path)
{
    QStringList out;
    {
        QString err;
        EXPECT_TRUE(db::connectNamed(QStringLiteral("reader"), path, &err)) << err.toStdString();
        QSqlDatabase d = QSqlDatabase::database(QStringLiteral("reader"));
        out << texts(d, QStringLiteral("pragma user_version"));
        out << texts(d, QStringLiteral("select type, name, tbl_name, sql from sqlite_master where type <> 'index' order by name"));
        for (const QString &table : texts(d, QStringLiteral("select name from sqlite_master where type = 'table' order by name"))) {
            QStringList cols;
            for (const QString &c : texts(d, QStringLiteral("select name from pragma_table_info('%1')").arg(table)))
                cols << QStringLiteral("quote(\"%1\")").arg(c);
            out << table + QLatin1Char(':');
            out << texts(d, QStringLiteral("select rowid, %1 from \"%2\" order by rowid").arg(cols.join(QLatin1Char(',')), table));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return out;
}

QStringList indexes(QSqlDatabase d)
{
    return texts(d, QStringLiteral("select name from sqlite_master where type='index' and sql is not null order by name"));
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// What the message window painted while it was on screen.
class MessageWatch : public QObject
{
public:
    MessageWatch() { qApp->installEventFilter(this); }
    ~MessageWatch() override { qApp->removeEventFilter(this); }
    QStringList painted;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o == frmmessage && frmmessage->isVisible() && !frmmessage->Label1->text().isEmpty()
            && !painted.contains(frmmessage->Label1->text()))
            painted << frmmessage->Label1->text();
        return false;
    }
};

class Upgrade : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The notice the program installs at start-up.
        setupApplication(*qApp);
        fresh = testdb::fresh(false);
    }
    void TearDown() override { db::disconnect(); }
    QString fresh;
};

} // namespace

TEST_F(Upgrade, EarlierFileGainsTheIndexesAndKeepsEveryRow)
{
    const QStringList wanted = indexes(db::database());
    const QString path = earlierFile();
    const QStringList before = content(path);
    MessageWatch watch;

    QString err;
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    QStringList now = indexes(db::database());
    for (const QString &name : wanted)
        EXPECT_TRUE(now.contains(name)) << name.toStdString();
    // The earlier build's indexes stay: nothing but the new ones is added.
    EXPECT_EQ(now.size(), wanted.size() + 8);
    db::disconnect();
    EXPECT_EQ(content(path), before);
    // A small file needs no message window.
    EXPECT_TRUE(watch.painted.isEmpty());

    // Opened again, there is nothing to do and the file is not written.
    const QByteArray hash = fileHash(path);
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    db::disconnect();
    EXPECT_EQ(fileHash(path), hash);
}

TEST_F(Upgrade, AllIndexesOrNone)
{
    // An object of the file already has the name of the last index to make.
    const QString path = earlierFile(0, "create view hisgresult_day_sample as select 1");
    const QStringList before = content(path);
    const QByteArray hash = fileHash(path);
    QString err;
    EXPECT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Failed);
    EXPECT_TRUE(err.contains(QStringLiteral("无法为数据库文件 jykdb.mdb 建立索引"))) << err.toStdString();
    EXPECT_FALSE(db::isConnected());
    EXPECT_EQ(content(path), before);
    EXPECT_EQ(fileHash(path), hash);
    EXPECT_EQ(frmmessage, nullptr);
}

TEST_F(Upgrade, LargeFileShowsTheMessageWindowWhileItWorks)
{
    const QString path = earlierFile(4200); // a little over 16 MB
    ASSERT_GE(QFileInfo(path).size(), appdb::kUpgradeNoticeBytes);
    MessageWatch watch;
    QString err;
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    EXPECT_EQ(watch.painted, QStringList{QStringLiteral("正在升级数据库，请稍候......")});
    EXPECT_EQ(frmmessage, nullptr); // gone again
    EXPECT_TRUE(indexes(db::database()).contains(QStringLiteral("hisresult_day_sample")));
}
