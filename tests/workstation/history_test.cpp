// The history search, the archived sample's data and the workload count
// against a fresh database.
#include "common/testdb.h"

#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "workstation/history.h"

#include <gtest/gtest.h>

namespace {

struct Hist
{
    QString shelfid, day, name, sex = QStringLiteral("男"), caseno, mzno, depart;
};

void archive(const Hist &h)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into histpatient (shelfid, checkdate, name, sex, caseno, mzno, depart) "
                                        "values (?, ?, ?, ?, ?, ?, ?)"),
                         {h.shelfid, h.day, h.name, h.sex, h.caseno, h.mzno, h.depart}, &err))
        << err.toStdString();
}

void archiveResult(const QString &shelfid, const QString &day, int itemid, const QString &value)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
                         {shelfid, day, itemid, value}, &err))
        << err.toStdString();
}

void dayPatient(const QString &shelfid, const QString &day)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, checkdate) values (?, ?)"), {shelfid, day}));
}

void dayResult(const QString &shelfid, const QString &day, int itemid)
{
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, '1')"),
                         {shelfid, day, itemid}));
}

ws::HistoryFilter range(const char *first, const char *last)
{
    ws::HistoryFilter f;
    f.first = QDate::fromString(QLatin1String(first), Qt::ISODate);
    f.last = QDate::fromString(QLatin1String(last), Qt::ISODate);
    return f;
}

// "day/shelfid" of every row the search finds, in its order.
QStringList found(const ws::HistoryFilter &f)
{
    const ws::BoundSql q = ws::historySearch(f);
    QVector<QVariantList> rows;
    QStringList cols;
    QString err;
    EXPECT_TRUE(db::select(q.sql, q.params, &rows, &err, &cols)) << err.toStdString();
    const int day = cols.indexOf(QStringLiteral("checkdate")), id = cols.indexOf(QStringLiteral("shelfid"));
    QStringList out;
    for (const QVariantList &r : rows)
        out << r.value(day).toString() + QLatin1Char('/') + r.value(id).toString();
    return out;
}

class History : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testdb::fresh();
        archive({"10", "2026-11-30", "张三", "男", "Z100", "M1", "内科"});
        archive({"9", "2026-12-01", "李四", "女", "Z200", "M2", "外科"});
        archive({"10", "2026-12-01", "王张", "男", "Z1000", "M3", "内科"});
        archive({"2", "2026-12-01", "O'Brien", "男", "Z300", "M4", "儿科"});
        archive({"1a", "2026-12-02", "赵六", "女", "Z100", "M5", "妇产科"});
        archive({"1", "2026-12-02", "50%张", "女", "Z400", "M6", "内科"});
        archive({"3", "2026-12-03", "钱七", "男", "Z500", "M7", "内科"});
    }
};

} // namespace

TEST_F(History, DateRangeAloneListsNewestDayFirstThenByNumber)
{
    EXPECT_EQ(found(range("2026-12-01", "2026-12-02")),
              (QStringList{"2026-12-02/1", "2026-12-02/1a", "2026-12-01/2", "2026-12-01/9", "2026-12-01/10"}));
    // Both ends belong to the range; a day outside it does not.
    EXPECT_EQ(found(range("2026-11-30", "2026-11-30")), QStringList{"2026-11-30/10"});
    EXPECT_TRUE(found(range("2026-12-04", "2026-12-31")).isEmpty());
    EXPECT_TRUE(found(range("2026-12-03", "2026-12-01")).isEmpty());
}

TEST_F(History, EachParticularNarrowsTheSearch)
{
    auto f = range("2026-11-01", "2026-12-31");
    f.name = QStringLiteral("张");   // anywhere in the name
    EXPECT_EQ(found(f), (QStringList{"2026-11-30/10", "2026-12-01/10", "2026-12-02/1"}));

    f = range("2026-11-01", "2026-12-31");
    f.caseno = QStringLiteral("Z100");   // whole value: Z1000 is another patient
    EXPECT_EQ(found(f), (QStringList{"2026-11-30/10", "2026-12-02/1a"}));
    f.caseno = QStringLiteral("Z10%");   // a wildcard the user types still works
    EXPECT_EQ(found(f).size(), 3);

    f = range("2026-11-01", "2026-12-31");
    f.mzno = QStringLiteral("M2");
    EXPECT_EQ(found(f), QStringList{"2026-12-01/9"});

    f = range("2026-11-01", "2026-12-31");
    f.sex = QStringLiteral("女");
    EXPECT_EQ(found(f), (QStringList{"2026-12-01/9", "2026-12-02/1a", "2026-12-02/1"}));

    f = range("2026-11-01", "2026-12-31");
    f.depart = QStringLiteral("内科");
    EXPECT_EQ(found(f).size(), 4);

    // Combined, and still bounded by the days (the 11-30 visit is outside).
    f = range("2026-12-01", "2026-12-02");
    f.depart = QStringLiteral("内科");
    f.name = QStringLiteral("张");
    EXPECT_EQ(found(f), (QStringList{"2026-12-01/10", "2026-12-02/1"}));
    f.sex = QStringLiteral("女");
    EXPECT_EQ(found(f), QStringList{"2026-12-02/1"});
}

TEST_F(History, QuotesAndPercentSignsAreSearchedSafely)
{
    auto f = range("2026-11-01", "2026-12-31");
    f.name = QStringLiteral("O'Bri");
    EXPECT_EQ(found(f), QStringList{"2026-12-01/2"});
    f.name = QStringLiteral("50%");   // finds the name holding it, breaks nothing
    EXPECT_EQ(found(f), QStringList{"2026-12-02/1"});
    f.name = QStringLiteral("x') or ('1'='1");
    EXPECT_TRUE(found(f).isEmpty());
    f = range("2026-11-01", "2026-12-31");
    f.depart = QStringLiteral("内科' or '1'='1");
    EXPECT_TRUE(found(f).isEmpty());
    // Nothing was changed by any of it.
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from histpatient")).toInt(), 7);
}

TEST_F(History, ArchivedSampleIsTheNumberOnThatDay)
{
    archiveResult("10", "2026-11-30", 2, "4.1");
    archiveResult("10", "2026-11-30", 1, "5.2");
    archiveResult("10", "2026-12-01", 1, "9.9");
    archiveResult("100", "2026-12-01", 1, "7");   // not a prefix match
    ASSERT_TRUE(db::exec(QStringLiteral("insert into hisgresult (shelfid, checkdate, a2) values ('10', '2026-11-30', 'old')")));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into hisgresult (shelfid, checkdate, a2) values ('10', '2026-12-01', 'new')")));

    db::Dataset results, graph, print;
    ASSERT_TRUE(results.open(ws::historyResultsSql(), {"10", "2026-11-30"})) << results.lastError().toStdString();
    ASSERT_EQ(results.recordCount(), 2);
    EXPECT_EQ(results.asInteger("itemid"), 1);      // item order
    EXPECT_EQ(results.text("value"), "5.2");
    EXPECT_EQ(results.text("abbreviation"), "WBC");
    EXPECT_EQ(results.text("name"), QStringLiteral("白细胞计数"));
    for (const char *f : {"checkdate", "itemid", "value", "rowno", "shelfid", "abbreviation", "name"})
        EXPECT_TRUE(results.hasField(QLatin1String(f))) << f;

    ASSERT_TRUE(graph.open(ws::historyGraphSql(), {"10", "2026-12-01"}));
    ASSERT_EQ(graph.recordCount(), 1);
    EXPECT_EQ(graph.text("a2"), "new");

    ASSERT_TRUE(print.open(ws::historyPrintRowsSql(), {"10", "2026-12-01"}));
    ASSERT_EQ(print.recordCount(), 1);
    EXPECT_EQ(print.text("value"), "9.9");
    EXPECT_EQ(print.text("unit"), "10^9/L");

    // An item gone from the catalogue keeps its value on the page.
    archiveResult("3", "2026-12-03", 99, "1.5");
    ASSERT_TRUE(results.open(ws::historyResultsSql(), {"3", "2026-12-03"}));
    ASSERT_EQ(results.recordCount(), 1);
    EXPECT_EQ(results.text("value"), "1.5");
    EXPECT_TRUE(results.isNull("name"));

    // A null key (nothing selected) matches nothing.
    ASSERT_TRUE(results.open(ws::historyResultsSql(), {QVariant(), QVariant()}));
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(History, DepartmentBoxOnEnter)
{
    const QStringList names{QStringLiteral("内科"), QStringLiteral("外科"), QStringLiteral("妇产科")};
    QString r, err;
    ASSERT_TRUE(ws::departmentOnEnter("3", names, &r, &err));
    EXPECT_EQ(r, QStringLiteral("妇产科"));
    ASSERT_TRUE(ws::departmentOnEnter("0", names, &r, &err));
    EXPECT_EQ(r, "");
    ASSERT_TRUE(ws::departmentOnEnter("4", names, &r, &err));
    EXPECT_EQ(r, "");
    ASSERT_TRUE(ws::departmentOnEnter("$2", names, &r, &err));   // the integer parser takes hex
    EXPECT_EQ(r, QStringLiteral("外科"));
    ASSERT_TRUE(ws::departmentOnEnter("ek", names, &r, &err));   // abbreviation: the name, listed or not
    EXPECT_EQ(r, QStringLiteral("儿科"));
    ASSERT_TRUE(ws::departmentOnEnter("EK", names, &r, &err));
    EXPECT_EQ(r, QStringLiteral("儿科"));
    ASSERT_TRUE(ws::departmentOnEnter("x'y", names, &r, &err)) << err.toStdString();
    EXPECT_EQ(r, "x'y");   // no department has it: the text stays
}

TEST(HistoryDates, TypedDates)
{
    EXPECT_EQ(ws::parseTypedDate(" 2026-1-5 "), QDate(2026, 1, 5));
    EXPECT_EQ(ws::parseTypedDate("2026/12/06"), QDate(2026, 12, 6));
    EXPECT_FALSE(ws::parseTypedDate(""));
    EXPECT_FALSE(ws::parseTypedDate("2026-02-30"));
    EXPECT_FALSE(ws::parseTypedDate("yesterday"));
}

TEST(Workload, CountsPairsOverDayAndHistoryTables)
{
    testdb::fresh();
    const auto count = [](const char *a, const char *b) {
        QString err;
        const auto n = ws::workloadCount(QDate::fromString(QLatin1String(a), Qt::ISODate),
                                         QDate::fromString(QLatin1String(b), Qt::ISODate), &err);
        EXPECT_TRUE(n.has_value()) << err.toStdString();
        return n.value_or(-1);
    };
    // Day tables: one sample with three results counts once.
    dayPatient("1", "2026-12-06");
    for (int item : {1, 2, 3})
        dayResult("1", "2026-12-06", item);
    dayPatient("2", "2026-12-06");            // registered, no results
    dayResult("3", "2026-12-06", 1);          // results, no registration
    dayPatient("4", "2026-12-06");            // registered on another day than its results
    dayResult("4", "2026-12-05", 1);
    // History: the same number on two days counts once per day.
    for (const char *day : {"2026-12-01", "2026-12-03"}) {
        archive({"1", day, "甲"});
        archiveResult("1", day, 1, "1");
        archiveResult("1", day, 2, "1");
    }
    archive({"7", "2026-12-03", "乙"});         // no results
    archiveResult("8", "2026-12-03", 1, "1");  // no registration

    EXPECT_EQ(count("2026-12-01", "2026-12-06"), 3);
    EXPECT_EQ(count("2026-12-06", "2026-12-06"), 1);   // inclusive single day
    EXPECT_EQ(count("2026-12-01", "2026-12-01"), 1);
    EXPECT_EQ(count("2026-12-02", "2026-12-05"), 1);   // both ends inclusive, 12-03 inside
    EXPECT_EQ(count("2026-12-04", "2026-12-05"), 0);
    EXPECT_EQ(count("2026-12-06", "2026-12-01"), 0);   // first day after the last
}
