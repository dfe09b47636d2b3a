// Moving the rows of malformed sample numbers to their corrections.
#include "link/numbercorrection.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "common/testdb.h"

#include <gtest/gtest.h>

using namespace intake;

namespace {

class Correction : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }

    static void sample(const QString &shelfid, const QString &a2 = QStringLiteral("g"))
    {
        for (int item : {1, 2})
            ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO testresult (shelfid, itemid, value, checkdate) "
                                                "VALUES (?, ?, ?, '2026-12-06')"),
                                 {shelfid, item, shelfid + QString::number(item)}));
        ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, a1, a2, checkdate) "
                                            "VALUES (?, '', ?, '2026-12-06')"),
                             {shelfid, a2}));
    }
    static int results(const QString &shelfid, const char *table = "testresult")
    {
        return db::scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE shelfid = ?").arg(QLatin1String(table)),
                          {shelfid}).toInt();
    }
    static int graphs(const QString &shelfid) { return results(shelfid, "gresult"); }
};

} // namespace

TEST_F(Correction, CorrectedRowsMoveAndLeaveTheListOthersStayInOrder)
{
    for (const char *n : {"A", "B", "C", "D"})
        sample(QString::fromLatin1(n));
    ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO patient (shelfid, name, checkdate) VALUES ('A', 'x', '2026-12-06')")));
    const QVector<CorrectionRow> rows{{"A", " 101 "}, {"B", ""}, {"C", "103"}, {"D", "   "}};
    const CorrectionOutcome out = applyCorrections(db::database(), rows);
    EXPECT_TRUE(out.error.isEmpty());
    EXPECT_TRUE(out.refusals.isEmpty());
    EXPECT_TRUE(out.anyCorrection);
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"B", ""}, {"D", "   "}}));
    EXPECT_EQ(results("101"), 2);
    EXPECT_EQ(graphs("101"), 1);
    EXPECT_EQ(results("103"), 2);
    EXPECT_EQ(results("A"), 0);
    EXPECT_EQ(graphs("C"), 0);
    EXPECT_EQ(results("B"), 2);
    // Registrations are not renumbered here.
    EXPECT_EQ(db::scalar(QStringLiteral("SELECT count(*) FROM patient WHERE shelfid = 'A'")).toInt(), 1);

    // Nothing typed: nothing changes, the list stays.
    const CorrectionOutcome none = applyCorrections(db::database(), out.remaining);
    EXPECT_FALSE(none.anyCorrection);
    EXPECT_EQ(none.remaining, out.remaining);
}

TEST_F(Correction, ANumberAlreadyInUseIsRefusedAndStaysListed)
{
    for (const char *n : {"A12", "12", "B7"})
        sample(QString::fromLatin1(n));
    const QVector<CorrectionRow> rows{{"A12", "12"}, {"B7", "7"}};
    const CorrectionOutcome out = applyCorrections(db::database(), rows);
    ASSERT_EQ(out.refusals.size(), 1);
    EXPECT_TRUE(out.refusals[0].contains("12"));
    EXPECT_TRUE(out.refusals[0].contains("A12"));
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"A12", "12"}}));
    EXPECT_EQ(results("12"), 2); // no duplicates
    EXPECT_EQ(graphs("12"), 1);
    EXPECT_EQ(results("A12"), 2);
    EXPECT_EQ(results("7"), 2);  // the row after the refusal still moved
    // A number known only from its graph row counts as in use too.
    ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, checkdate) VALUES ('55', '2026-12-06')")));
    EXPECT_EQ(applyCorrections(db::database(), {{"A12", "55"}}).refusals.size(), 1);
}

TEST_F(Correction, QuotesAndWildcardsAreJustCharacters)
{
    for (const char *n : {"O'B", "1%", "10"})
        sample(QString::fromLatin1(n));
    const CorrectionOutcome out = applyCorrections(db::database(), {{"O'B", "20'"}, {"1%", "30"}});
    EXPECT_TRUE(out.error.isEmpty()) << qPrintable(out.error);
    EXPECT_TRUE(out.remaining.isEmpty());
    EXPECT_EQ(results("20'"), 2);
    EXPECT_EQ(results("30"), 2);
    EXPECT_EQ(results("10"), 2);
    // The same number listed twice: the second correction finds nothing to
    // move and leaves the list without an error.
    sample("X");
    const CorrectionOutcome twice = applyCorrections(db::database(), {{"X", "40"}, {"X", "41"}});
    EXPECT_TRUE(twice.remaining.isEmpty());
    EXPECT_EQ(results("40"), 2);
    EXPECT_EQ(results("41"), 0);
}

TEST_F(Correction, AFailingRowMovesNothingAndStopsTheRun)
{
    for (const char *n : {"A", "B", "C"})
        sample(QString::fromLatin1(n));
    // The graph update of B is refused after its results were moved.
    ASSERT_TRUE(db::exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON gresult WHEN OLD.shelfid = 'B' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    const CorrectionOutcome out = applyCorrections(db::database(), {{"A", "1"}, {"B", "2"}, {"C", "3"}});
    EXPECT_TRUE(out.error.contains("refused")) << qPrintable(out.error);
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"B", "2"}, {"C", "3"}}));
    EXPECT_EQ(results("1"), 2);
    EXPECT_EQ(results("B"), 2); // rolled back with its graph row
    EXPECT_EQ(results("2"), 0);
    EXPECT_EQ(graphs("B"), 1);
    EXPECT_EQ(results("C"), 2);
}
