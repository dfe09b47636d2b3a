// The day list's queries and colours against a fresh database.
#include "common/testdb.h"

#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "workstation/samplelist.h"

#include <gtest/gtest.h>

namespace {

void addPatient(const QString &id, const QString &sex, const QVariant &printflag)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, sex, printflag) values (?, ?, ?, ?)"),
                         {id, QStringLiteral("病人") + id, sex, printflag}, &err))
        << err.toStdString();
}

void addResult(const QString &id, int itemid, const QString &value)
{
    QString err;
    ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, '2026-12-06', ?, ?)"),
                         {id, itemid, value}, &err))
        << err.toStdString();
}

QStringList listIds(int filter)
{
    db::Dataset ds;
    EXPECT_TRUE(ds.open(ws::patientQuery(filter))) << ds.lastError().toStdString();
    QStringList ids;
    for (int i = 0; i < ds.recordCount(); ++i)
        ids << ds.valueAt(i, QStringLiteral("shelfid")).toString();
    return ids;
}

} // namespace

TEST(SampleList, FiltersOrderAndNullPrintflag)
{
    testdb::fresh();
    addPatient(QStringLiteral("10"), QString(), 0);
    addPatient(QStringLiteral("9"), QString(), 1);
    addPatient(QStringLiteral("2"), QString(), QVariant());   // never printed, flag lost
    addPatient(QStringLiteral("100"), QString(), 0);

    EXPECT_EQ(listIds(ws::FilterAll), (QStringList{"2", "9", "10", "100"}));
    EXPECT_EQ(listIds(ws::FilterUnprinted), (QStringList{"10", "100"}));
    EXPECT_EQ(listIds(ws::FilterPrinted), (QStringList{"9"}));
    EXPECT_TRUE(ws::patientQuery(ws::FilterNone).isEmpty());

    // A row inserted without printflag gets the column default and is unprinted.
    ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid) values ('5')")));
    EXPECT_EQ(listIds(ws::FilterUnprinted), (QStringList{"5", "10", "100"}));

    EXPECT_EQ(ws::printFilterCaption(1), QStringLiteral("未打印"));
    EXPECT_EQ(ws::printFilterCaption(2), QStringLiteral("已打印"));
    EXPECT_EQ(ws::printFilterCaption(3), QStringLiteral("全部"));
}

TEST(SampleList, LimitsFollowSexOnlyForExactFemaleText)
{
    testdb::fresh();
    // Item 12 (RBC) has different limits: man 4.3-5.8, woman 3.8-5.1.
    for (const QString &sex : {QStringLiteral("女"), QStringLiteral("男"), QString(), QStringLiteral(" 女"),
                               QStringLiteral("F")}) {
        const QString id = QStringLiteral("S") + QString::number(sex.size()) + sex;
        addResult(id, 12, QStringLiteral("4.0"));
        addResult(id, 1, QStringLiteral("5.0"));
        db::Dataset results, graphs;
        QString err;
        ASSERT_TRUE(ws::openSampleDetails(results, graphs, id, sex, &err)) << err.toStdString();
        ASSERT_EQ(results.recordCount(), 2);
        EXPECT_EQ(results.valueAt(0, QStringLiteral("itemid")).toInt(), 1); // item order
        const bool woman = sex == QStringLiteral("女");
        EXPECT_EQ(results.valueAt(1, QStringLiteral("reflow")).toString(), woman ? "3.8" : "4.3") << sex.toStdString();
        EXPECT_EQ(results.valueAt(1, QStringLiteral("refhigh")).toString(), woman ? "5.1" : "5.8");
        EXPECT_EQ(results.valueAt(1, QStringLiteral("abbreviation")).toString(), "RBC");
    }
}

TEST(SampleList, DetailsBindTheSampleNumber)
{
    testdb::fresh();
    const QString quoted = QStringLiteral("1'2");
    addResult(quoted, 1, QStringLiteral("7.1"));
    addResult(QStringLiteral("1_2"), 1, QStringLiteral("3.3"));
    ASSERT_TRUE(db::exec(QStringLiteral("insert into gresult (shelfid, a2) values (?, 'abc')"), {quoted}));

    db::Dataset results, graphs;
    QString err;
    ASSERT_TRUE(ws::openSampleDetails(results, graphs, quoted, QString(), &err)) << err.toStdString();
    ASSERT_EQ(results.recordCount(), 1);
    EXPECT_EQ(results.text(QStringLiteral("value")), QStringLiteral("7.1"));
    EXPECT_EQ(graphs.recordCount(), 1);

    // Deleting the quoted sample's result leaves the look-alike alone.
    ASSERT_TRUE(ws::deleteResult(quoted, 1, &err)) << err.toStdString();
    EXPECT_EQ(db::scalar(QStringLiteral("select count(*) from testresult")).toInt(), 1);
    EXPECT_EQ(db::scalar(QStringLiteral("select shelfid from testresult")).toString(), QStringLiteral("1_2"));

    // No current sample: both details open empty.
    ASSERT_TRUE(ws::openSampleDetails(results, graphs, QVariant(), QString(), &err));
    EXPECT_TRUE(results.isOpen());
    EXPECT_TRUE(results.isEmpty());
    EXPECT_TRUE(graphs.isEmpty());
}

TEST(SampleList, ResultColours)
{
    using ws::ResultMark;
    // Equal to a limit is inside; only strictly beyond is red.
    EXPECT_EQ(ws::resultMark("9.5", "3.5", "9.5"), ResultMark::Normal);
    EXPECT_EQ(ws::resultMark("3.5", "3.5", "9.5"), ResultMark::Normal);
    EXPECT_EQ(ws::resultMark("9.51", "3.5", "9.5"), ResultMark::OutOfRange);
    EXPECT_EQ(ws::resultMark("3.49", "3.5", "9.5"), ResultMark::OutOfRange);
    // Numbers compare as numbers, not as texts.
    EXPECT_EQ(ws::resultMark("10", "3.5", "9.5"), ResultMark::OutOfRange);
    EXPECT_EQ(ws::resultMark("1e1", "3.5", "9.5"), ResultMark::OutOfRange);
    // One-sided limits: the missing side is not tested.
    EXPECT_EQ(ws::resultMark("1000", "3.5", ""), ResultMark::Normal);
    EXPECT_EQ(ws::resultMark("1", "3.5", ""), ResultMark::OutOfRange);
    EXPECT_EQ(ws::resultMark("-5", "", "9.5"), ResultMark::Normal);
    EXPECT_EQ(ws::resultMark("12", "<3", "9.5"), ResultMark::OutOfRange);
    EXPECT_EQ(ws::resultMark("12", "", "9.5 "), ResultMark::Normal); // trailing blank: not a limit
    // Flags and other non-numeric values are olive whatever their limits.
    EXPECT_EQ(ws::resultMark("H", "3.5", "9.5"), ResultMark::NotNumeric);
    EXPECT_EQ(ws::resultMark("", "3.5", "9.5"), ResultMark::NotNumeric);
    EXPECT_EQ(ws::resultMark("12 ", "3.5", "9.5"), ResultMark::NotNumeric);
    EXPECT_EQ(ws::resultMark("---", "", ""), ResultMark::NotNumeric);
    // "." reads as 0 and "5." as 5.
    EXPECT_EQ(ws::resultMark(".", "0.1", ""), ResultMark::OutOfRange);
    EXPECT_EQ(ws::resultMark("5.", "", "5"), ResultMark::Normal);

    EXPECT_EQ(ws::resultTextColour(ResultMark::Normal), QColor("#000080"));
    EXPECT_EQ(ws::resultTextColour(ResultMark::OutOfRange), QColor("#FF0000"));
    EXPECT_EQ(ws::resultTextColour(ResultMark::NotNumeric), QColor("#808000"));

    EXPECT_EQ(ws::listTextColour(0), QColor("#008080"));
    EXPECT_EQ(ws::listTextColour(qlonglong(0)), QColor("#008080"));
    EXPECT_EQ(ws::listTextColour(1), QColor("#0000FF"));
    EXPECT_EQ(ws::listTextColour(QVariant()), QColor("#0000FF"));
}

TEST(SampleList, QcPeriodIsTheWholeMonth)
{
    auto p = ws::qcPeriodOf(QDate(2026, 12, 31));
    EXPECT_EQ(p.begin, QDate(2026, 12, 1));
    EXPECT_EQ(p.end, QDate(2027, 1, 1));
    p = ws::qcPeriodOf(QDate(2028, 2, 29));
    EXPECT_EQ(p.begin, QDate(2028, 2, 1));
    EXPECT_EQ(p.end, QDate(2028, 3, 1));
}
