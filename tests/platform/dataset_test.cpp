// The dataset layer that every window stands on: failures, counts, cursor,
// editing and its events, against a fresh database file. Refused posts and
// deleting are tried through the grid and navigator in widgets_test.
#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "testdb.h"

#include <gtest/gtest.h>

namespace {

class DatasetTest : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(true); }

    static bool addPatient(const QString &shelfid, const QString &name = QString())
    {
        return db::exec(QStringLiteral("insert into patient (shelfid, name) values (?, ?)"), {shelfid, name});
    }
    static QVariant scalar(const char *sql) { return db::scalar(QString::fromLatin1(sql)); }
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

// Moving to another record writes the pending change of the record left,
// so that the next post cannot write it over the record moved to.
TEST_F(DatasetTest, MovingByRecordNumberWritesTheRowLeft)
{
    ASSERT_TRUE(addPatient(QStringLiteral("1"), QStringLiteral("甲")) && addPatient(QStringLiteral("2"), QStringLiteral("乙")));
    db::Dataset ds;
    ds.setUpdateTable(QStringLiteral("patient"));
    ASSERT_TRUE(ds.open(QStringLiteral("select * from patient order by shelfid")));
    ASSERT_TRUE(ds.setValue(QStringLiteral("name"), QStringLiteral("丙")));
    ASSERT_TRUE(ds.setRecNo(2));
    EXPECT_EQ(ds.state(), db::Dataset::State::Browse);
    EXPECT_EQ(ds.text(QStringLiteral("name")), QStringLiteral("乙"));
    ds.post();
    EXPECT_EQ(scalar("select group_concat(shelfid || name, ' ') from (select * from patient order by shelfid)").toString(),
              QStringLiteral("1丙 2乙"));
}

} // namespace
