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

    // Two results and a graph row under each number.
    static void samples(std::initializer_list<const char *> numbers)
    {
        for (const char *n : numbers) {
            for (int item : {1, 2})
                ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO testresult (shelfid, itemid, value, checkdate) "
                                                    "VALUES (?, ?, 'v', '2026-12-06')"), {n, item}));
            ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, a1, a2, checkdate) "
                                                "VALUES (?, '', 'g', '2026-12-06')"), {n}));
        }
    }
    // "results/graph rows" under the number.
    static QString rows(const QString &shelfid)
    {
        return db::scalar(QStringLiteral("SELECT (SELECT count(*) FROM testresult WHERE shelfid = ?) || '/' || "
                                         "(SELECT count(*) FROM gresult WHERE shelfid = ?)"), {shelfid, shelfid}).toString();
    }
    static CorrectionOutcome apply(const QVector<CorrectionRow> &rows) { return applyCorrections(db::database(), rows); }
};

} // namespace

TEST_F(Correction, CorrectedRowsMoveAndLeaveTheListOthersStayInOrder)
{
    samples({"A", "B", "C", "D"});
    ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO patient (shelfid, name, checkdate) VALUES ('A', 'x', '2026-12-06')")));
    const CorrectionOutcome out = apply({{"A", " 101 "}, {"B", ""}, {"C", "103"}, {"D", "   "}});
    EXPECT_TRUE(out.error.isEmpty() && out.refusals.isEmpty() && out.anyCorrection);
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"B", ""}, {"D", "   "}}));
    for (const auto &[n, count] : {std::pair{"101", "2/1"}, {"103", "2/1"}, {"A", "0/0"}, {"C", "0/0"}, {"B", "2/1"}})
        EXPECT_EQ(rows(n), count) << n;
    // Registrations are not renumbered here.
    EXPECT_EQ(db::scalar("SELECT count(*) FROM patient WHERE shelfid = 'A'").toInt(), 1);

    // Nothing typed: nothing changes, the list stays.
    const CorrectionOutcome none = apply(out.remaining);
    EXPECT_FALSE(none.anyCorrection);
    EXPECT_EQ(none.remaining, out.remaining);
}

TEST_F(Correction, ANumberAlreadyInUseIsRefusedAndStaysListed)
{
    samples({"A12", "12", "B7"});
    const CorrectionOutcome out = apply({{"A12", "12"}, {"B7", "7"}});
    ASSERT_EQ(out.refusals.size(), 1);
    EXPECT_TRUE(out.refusals[0].contains("12") && out.refusals[0].contains("A12"));
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"A12", "12"}}));
    // No duplicates; the row after the refusal still moved.
    for (const char *n : {"12", "A12", "7"})
        EXPECT_EQ(rows(n), "2/1") << n;
    // A number known only from its graph row counts as in use too.
    ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, checkdate) VALUES ('55', '2026-12-06')")));
    EXPECT_EQ(apply({{"A12", "55"}}).refusals.size(), 1);
}

TEST_F(Correction, QuotesAndWildcardsAreJustCharactersAndARepeatedRowFindsNothingLeft)
{
    // A number listed twice: the second correction finds nothing to move,
    // and the same correction given twice is no clash with itself.
    samples({"O'B", "1%", "10", "X", "Y"});
    const CorrectionOutcome out = apply({{"O'B", "20'"}, {"1%", "30"}, {"X", "40"}, {"X", "41"}, {"Y", "50"}, {"Y", "50"}});
    EXPECT_TRUE(out.error.isEmpty() && out.refusals.isEmpty()) << qPrintable(out.error);
    EXPECT_TRUE(out.remaining.isEmpty());
    for (const auto &[n, count] : {std::pair{"20'", "2/1"}, {"30", "2/1"}, {"10", "2/1"}, {"40", "2/1"}, {"41", "0/0"}, {"50", "2/1"}})
        EXPECT_EQ(rows(n), count) << n;
}

TEST_F(Correction, AFailingRowMovesNothingAndStopsTheRun)
{
    samples({"A", "B", "C"});
    // The graph update of B is refused after its results were moved.
    ASSERT_TRUE(db::exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON gresult WHEN OLD.shelfid = 'B' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    const CorrectionOutcome out = apply({{"A", "1"}, {"B", "2"}, {"C", "3"}});
    EXPECT_TRUE(out.error.contains("refused")) << qPrintable(out.error);
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"B", "2"}, {"C", "3"}}));
    // B's results rolled back with its graph row.
    for (const auto &[n, count] : {std::pair{"1", "2/1"}, {"B", "2/1"}, {"2", "0/0"}, {"C", "2/1"}})
        EXPECT_EQ(rows(n), count) << n;
}
