// Moving the rows of malformed sample numbers to their corrections. Refusing
// a number in use and trimming a typed number are met through the window.
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
        for (const char *n : numbers)
            ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO testresult (shelfid, itemid, value, checkdate) VALUES "
                                                "(?, 1, 'v', '2026-12-06'), (?, 2, 'v', '2026-12-06')"), {n, n})
                        && db::exec(QStringLiteral("INSERT INTO gresult (shelfid, a1, a2, checkdate) "
                                                   "VALUES (?, '', 'g', '2026-12-06')"), {n}));
    }
    // "number:results/graph rows" for each number.
    static std::string rows(std::initializer_list<const char *> numbers)
    {
        QStringList out;
        for (const char *n : numbers)
            out << n + QStringLiteral(":") + db::scalar(QStringLiteral(
                "SELECT (SELECT count(*) FROM testresult WHERE shelfid = ?) || '/' || "
                "(SELECT count(*) FROM gresult WHERE shelfid = ?)"), {n, n}).toString();
        return out.join(' ').toStdString();
    }
    static CorrectionOutcome apply(const QVector<CorrectionRow> &rows) { return applyCorrections(db::database(), rows); }
};

} // namespace

// Quotes and wildcards are just characters. A number listed twice finds
// nothing left to move the second time; the same correction given twice is
// no clash with itself.
TEST_F(Correction, CorrectedRowsMoveAndLeaveTheListOthersStayInOrder)
{
    samples({"A", "B", "C", "D", "E12", "12", "F7", "O'B", "1%", "10", "X", "Y"});
    ASSERT_TRUE(db::exec("INSERT INTO patient (shelfid, name, checkdate) VALUES ('A', 'x', '2026-12-06')"));
    const CorrectionOutcome out = apply({{"A", " 101 "}, {"B", ""}, {"E12", "12"}, {"C", "103"}, {"D", "   "},
                                         {"F7", "7"}, {"O'B", "20'"}, {"1%", "30"}, {"X", "40"}, {"X", "41"},
                                         {"Y", "50"}, {"Y", "50"}});
    EXPECT_TRUE(out.error.isEmpty() && out.anyCorrection) << qPrintable(out.error);
    ASSERT_EQ(out.refusals.size(), 1);
    EXPECT_TRUE(out.refusals[0].contains("12") && out.refusals[0].contains("E12"));
    EXPECT_EQ(out.remaining, (QVector<CorrectionRow>{{"B", ""}, {"E12", "12"}, {"D", "   "}}));
    // No duplicates; the rows after the refusal still moved.
    EXPECT_EQ(rows({"101", "103", "A", "C", "B", "12", "E12", "7", "F7"}),
              "101:2/1 103:2/1 A:0/0 C:0/0 B:2/1 12:2/1 E12:2/1 7:2/1 F7:0/0");
    EXPECT_EQ(rows({"20'", "30", "10", "40", "41", "50"}), "20':2/1 30:2/1 10:2/1 40:2/1 41:0/0 50:2/1");
    // Registrations are not renumbered here.
    EXPECT_EQ(db::scalar("SELECT count(*) FROM patient WHERE shelfid = 'A'").toInt(), 1);
    // A number known only from its graph row counts as in use too.
    ASSERT_TRUE(db::exec(QStringLiteral("INSERT INTO gresult (shelfid, checkdate) VALUES ('55', '2026-12-06')")));
    EXPECT_EQ(apply({{"E12", "55"}}).refusals.size(), 1);

    // Nothing typed: nothing changes, the list stays.
    const QVector<CorrectionRow> blanks{{"B", ""}, {"D", "   "}};
    const CorrectionOutcome none = apply(blanks);
    EXPECT_FALSE(none.anyCorrection);
    EXPECT_EQ(none.remaining, blanks);
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
    EXPECT_EQ(rows({"1", "B", "2", "C"}), "1:2/1 B:2/1 2:0/0 C:2/1");
}
