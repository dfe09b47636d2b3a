// A database file made by an earlier build, whose history tables carry only
// the indexes of that build: opening it adds this build's indexes in one
// transaction, leaves every row as it was, and shows the message window
// while it works on a large file.
#include "app/appsetup.h"
#include "base/database.h"
#include "app/umessage.h"
#include "common/testdb.h"
#include "wsdb.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

namespace {

// The earlier build indexed the history tables by day and number, and
// histpatient also by case number and name.
const char *const kEarlierIndexes[][2] = {{"histpatient", "checkdate"}, {"histpatient", "shelfid"}, {"histpatient", "caseno"},
    {"histpatient", "name"}, {"hisresult", "checkdate"}, {"hisresult", "shelfid"}, {"hisgresult", "checkdate"},
    {"hisgresult", "shelfid"}};

QStringList names(const char *where)
{
    QStringList out;
    const QString sql = QStringLiteral("select name from sqlite_master where %1 order by name").arg(QLatin1String(where));
    for (const QVariantList &r : wst::rows(sql))
        out << r[0].toString();
    return out;
}

// The program's connection to `path` for `work`, closed again after it.
template <typename F> void with(const QString &path, F work)
{
    QString err;
    ASSERT_TRUE(db::connect(path, &err)) << err.toStdString();
    work();
    db::disconnect();
}

// A file as an earlier build left it, with rows of every kind of value;
// `padding` blocks of 4 KB make it large.
QString earlierFile(int padding = 0, const char *extra = nullptr)
{
    using wst::run;
    const QString path = testdb::tempDir() + QStringLiteral("/jykdb.mdb");
    QString err;
    EXPECT_TRUE(appdb::createDatabaseFile(path, true, &err)) << err.toStdString();
    with(path, [&]() {
        for (const QString &index : names("type='index' and tbl_name in ('histpatient','hisresult','hisgresult')"))
            run(QStringLiteral("drop index ") + index);
        for (const auto &[table, column] : kEarlierIndexes)
            run(QStringLiteral("create index %1_%2 on %1 (%2)").arg(QLatin1String(table), QLatin1String(column)));
        run(QStringLiteral("insert into histpatient (shelfid, checkdate, name, caseno, age, bgtime) values "
                           "('5', '2020-03-01', 'O''Neil', 'z100', 40, NULL), ('5a', '2020-03-02', '张三', '', '4.50', '09:30')"));
        run(QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) values "
                           "('5', '2020-03-01', 1, '4.40'), ('5', '2020-03-01', 2, NULL), ('5a', '2020-03-02', 1, 7)"));
        run(QStringLiteral("insert into hisgresult (shelfid, checkdate, a1, a2) values (?, ?, ?, ?)"),
            {QStringLiteral("5"), QStringLiteral("2020-03-01"), QByteArray("\x01\xff\x80 raw", 8), QStringLiteral("!\"#$")});
        run(QStringLiteral("insert into patient (shelfid, name, checkdate) values ('1', '李四', '2020-03-03')"));
        if (padding > 0)
            run(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                               "insert into hisgresult (shelfid, checkdate, a1) select i, '2019-01-01', hex(zeroblob(2048)) from n"),
                {padding});
        if (extra)
            run(QLatin1String(extra));
    });
    return path;
}

// Everything but the indexes, every value quoted with its type and bytes,
// and the file's own bytes (empty unless asked for).
using Content = std::pair<QVector<wst::Rows>, QByteArray>;

Content content(const QString &path, bool withHash = true)
{
    Content c;
    with(path, [&]() {
        c.first << wst::rows(QStringLiteral("pragma user_version"))
                << wst::rows(QStringLiteral("select type, name, tbl_name, sql from sqlite_master where type <> 'index' order by name"));
        for (const QString &table : names("type = 'table'")) {
            QStringList cols;
            for (const QVariantList &r : wst::rows(QStringLiteral("select name from pragma_table_info('%1')").arg(table)))
                cols << QStringLiteral("quote(\"%1\")").arg(r[0].toString());
            c.first << wst::rows(QStringLiteral("select rowid, %1 from \"%2\" order by rowid").arg(cols.join(QLatin1Char(',')), table));
        }
    });
    QFile f(path);
    if (withHash && f.open(QIODevice::ReadOnly))
        c.second = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    return c;
}

QStringList indexes() { return names("type='index' and sql is not null"); }

// What the message window painted while it was on screen.
struct MessageWatch : QObject {
    MessageWatch() { qApp->installEventFilter(this); }
    ~MessageWatch() override { qApp->removeEventFilter(this); }
    QStringList painted;
    int paints = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o == frmmessage && frmmessage->isVisible() && !frmmessage->Label1->text().isEmpty()) {
            ++paints;
            if (!painted.contains(frmmessage->Label1->text()))
                painted << frmmessage->Label1->text();
        }
        return false;
    }
};

class Upgrade : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setupApplication(*qApp); // the notice the program installs at start-up
        testdb::fresh(false);
    }
    void TearDown() override { db::disconnect(); }
};

} // namespace

TEST_F(Upgrade, EarlierFileGainsTheIndexesAndKeepsEveryRow)
{
    const QStringList wanted = indexes();
    const QString path = earlierFile();
    const Content before = content(path, false);
    MessageWatch watch;

    QString err;
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    QStringList now = indexes();
    for (const QString &name : wanted)
        EXPECT_TRUE(now.contains(name)) << name.toStdString();
    // The earlier build's indexes stay: nothing but the new ones is added.
    EXPECT_EQ(now.size(), wanted.size() + 8);
    db::disconnect();
    EXPECT_EQ(content(path, false), before);
    // A small file needs no message window.
    EXPECT_TRUE(watch.painted.isEmpty());

    // Opened again, there is nothing to do and the file is not written.
    const Content upgraded = content(path);
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    db::disconnect();
    EXPECT_EQ(content(path), upgraded);
}

TEST_F(Upgrade, AllIndexesOrNone)
{
    // An object of the file already has the name of the last index to make.
    const QString path = earlierFile(0, "create view hisgresult_day_sample as select 1");
    const Content before = content(path);
    QString err;
    EXPECT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Failed);
    EXPECT_TRUE(err.contains(QStringLiteral("无法为数据库文件 jykdb.mdb 建立索引"))) << err.toStdString();
    EXPECT_FALSE(db::isConnected());
    EXPECT_EQ(content(path), before);
    EXPECT_EQ(frmmessage, nullptr);
}

// The indexes are made while the window's thread goes on: the message window
// repaints whenever asked (as when another window passes over it).
TEST_F(Upgrade, LargeFileShowsTheMessageWindowWhileItWorks)
{
    const QString path = earlierFile(4200); // a little over 16 MB
    ASSERT_GE(QFileInfo(path).size(), appdb::kUpgradeNoticeBytes);
    MessageWatch watch;
    QTimer overlap;
    QObject::connect(&overlap, &QTimer::timeout, [] {
        if (frmmessage)
            frmmessage->update();
    });
    overlap.start(0);
    QString err;
    ASSERT_EQ(appdb::openOrCreate(path, &err), appdb::OpenResult::Opened) << err.toStdString();
    overlap.stop();
    EXPECT_GE(watch.paints, 3);
    EXPECT_EQ(watch.painted, QStringList{QStringLiteral("正在升级数据库，请稍候......")});
    EXPECT_EQ(frmmessage, nullptr); // gone again
    EXPECT_TRUE(indexes().contains(QStringLiteral("hisresult_day_sample")));
}
