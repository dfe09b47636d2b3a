// The dataset layer that every window stands on: failures, counts, cursor,
// editing and its events, against a fresh database file. Refused posts and
// deleting are tried through the grid and navigator in widgets_test.
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "testdb.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class DatasetTest : public ::testing::Test
{
protected:
    void SetUp() override { path = testdb::fresh(true); }

    static bool addPatient(const QString &shelfid, const QString &name = QString())
    {
        return db::exec(QStringLiteral("insert into patient (shelfid, name) values (?, ?)"), {shelfid, name});
    }
    static QVariant scalar(const char *sql) { return db::scalar(QString::fromLatin1(sql)); }
    // What another program sees in the file: its patient numbers.
    QString shelfidsSeenByAnother() const
    {
        QString seen;
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("another"));
            other.setDatabaseName(path);
            QSqlQuery q(other);
            if (other.open() && q.exec(QStringLiteral("select group_concat(shelfid, ' ') from patient")) && q.next())
                seen = q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("another"));
        return seen;
    }
    QString path;
};

TEST_F(DatasetTest, FailuresAreReportedNeverSilent)
{
    db::Dataset ds;
    EXPECT_FALSE(ds.open(QStringLiteral("select * from no_such_table")) || ds.lastError().isEmpty() || ds.isOpen());
    QString e;
    bool ok = true;
    db::scalar(QStringLiteral("select bogus("), {}, &ok);
    EXPECT_FALSE(db::exec(QStringLiteral("insert into nowhere values (1)"), {}, &e) || e.isEmpty() || ok);
}

// Another program reading the file keeps a commit from writing it: the
// commit fails, and the connection is out of the transaction, its later
// statements written at once.
TEST_F(DatasetTest, ACommitTheFileRefusesIsAFailure)
{
    ASSERT_TRUE(db::exec(QStringLiteral("PRAGMA busy_timeout = 200")));
    auto reader = std::make_unique<QSqlDatabase>(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader")));
    reader->setDatabaseName(path);
    ASSERT_TRUE(reader->open());
    auto reading = std::make_unique<QSqlQuery>(*reader);
    ASSERT_TRUE(reading->exec(QStringLiteral("begin")) && reading->exec(QStringLiteral("select * from patient")));

    db::Transaction t;
    ASSERT_TRUE(t.begin());
    ASSERT_TRUE(addPatient(QStringLiteral("1")));
    QString error;
    EXPECT_FALSE(t.commit(&error));
    EXPECT_FALSE(error.isEmpty());

    reading.reset();
    reader->close();
    reader.reset();
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    ASSERT_TRUE(addPatient(QStringLiteral("2")));
    EXPECT_EQ(shelfidsSeenByAnother().toStdString(), "2");
}

// Filters are met through the doctor box of the registration window.
TEST_F(DatasetTest, CountsRecordNumbersAndLocateAreExactOnLargeResults)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid) with recursive n(i) as "
                                        "(select 1 union all select i + 1 from n where i < 700) select i from n")));
    db::Dataset ds;
    ASSERT_TRUE(ds.open(QStringLiteral("select * from patient order by val(shelfid), shelfid")));
    EXPECT_TRUE(ds.recordCount() == 700 && ds.setRecNo(650) && !ds.setRecNo(701));
    EXPECT_EQ(ds.text(QStringLiteral("shelfid")), QStringLiteral("650"));
    int walked = 0;
    for (ds.first(); !ds.eof(); ds.next())
        ++walked;
    EXPECT_EQ(walked, 700);
    // Locate moves, and tells the views, only when it finds.
    int scrolls = 0;
    ds.afterScroll = [&](db::Dataset &) { ++scrolls; };
    ASSERT_TRUE(ds.locate(QStringLiteral("shelfid"), QStringLiteral("4")));
    EXPECT_FALSE(ds.locate(QStringLiteral("shelfid"), QStringLiteral("701")));
    EXPECT_EQ(QStringLiteral("%1/%2").arg(ds.recNo()).arg(scrolls), QStringLiteral("4/1"));
}

TEST_F(DatasetTest, EditingWritesOneRowAndReadsBackDefaults)
{
    db::Dataset ds;
    ds.setUpdateTable(QStringLiteral("patient"));
    ASSERT_TRUE(ds.open(QStringLiteral("select * from patient")));
    ds.onNewRecord = [](db::Dataset &d) { d.setValue(QStringLiteral("sex"), QStringLiteral("男")); };
    ASSERT_TRUE(ds.append());
    ds.setValue(QStringLiteral("shelfid"), QStringLiteral("7"));
    ASSERT_TRUE(ds.post()) << ds.lastError().toStdString();
    EXPECT_EQ(ds.value(QStringLiteral("printflag")).toInt(), 0) << "the column default is read back";
    EXPECT_EQ(scalar("select sex from patient where shelfid='7'").toString(), QStringLiteral("男"));

    ASSERT_TRUE(ds.setValue(QStringLiteral("name"), QStringLiteral("李四")));
    ASSERT_TRUE(ds.post());
    EXPECT_EQ(scalar("select name from patient where shelfid='7'").toString(), QStringLiteral("李四"));
}

// Every move leaves a changed row, which must be in the file before the
// cursor stands on the next one (so that the next post cannot write it over
// the record moved to).
TEST_F(DatasetTest, EveryMoveWritesTheRowLeft)
{
    for (const char *id : {"1", "2", "3"})
        ASSERT_TRUE(addPatient(QString::fromLatin1(id), QStringLiteral("甲")));
    db::Dataset ds;
    ds.setUpdateTable(QStringLiteral("patient"));
    ASSERT_TRUE(ds.open(QStringLiteral("select * from patient order by shelfid")));
    const struct { const char *name; std::function<void()> move; } moves[] = {
        {"next", [&] { ds.next(); }},
        {"prior", [&] { ds.prior(); }},
        {"locate", [&] { ASSERT_TRUE(ds.locate(QStringLiteral("shelfid"), QStringLiteral("3"))); }},
        {"first", [&] { ds.first(); }},
        {"recno", [&] { ASSERT_TRUE(ds.setRecNo(2)); }},
    };
    QString names;
    for (const auto &m : moves) {
        const QString left = ds.text(QStringLiteral("shelfid"));
        ASSERT_TRUE(ds.setValue(QStringLiteral("name"), QString::fromLatin1(m.name)));
        m.move();
        EXPECT_NE(ds.text(QStringLiteral("shelfid")), left) << m.name << " did not move";
        EXPECT_EQ(int(ds.state()), int(db::Dataset::State::Browse)) << m.name << " left the row unwritten";
        names += QStringLiteral("%1%2 ").arg(left, db::scalar(QStringLiteral("select name from patient where shelfid = ?"), {left}).toString());
    }
    EXPECT_EQ(names.toStdString(), "1next 2prior 1locate 3first 1recno ");
}

} // namespace
