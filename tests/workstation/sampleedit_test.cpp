// Manual entry, deleting and renumbering without windows: what is found,
// what is stored, and that a sample's rows move or go all together.
#include "common/testdb.h"

#include "workstation/sampleedit.h"
#include "wsdb.h"

using namespace wst;

namespace {

const QString kEarlier = QStringLiteral("2026-11-30");

// A sample with a registration, two results and a graph row, each holding `marker`.
void addSample(const QString &id, const QString &marker, const QString &day = kDay)
{
    addPatient(id, marker, 0, kOperator, {}, day);
    addResult(id, 1, marker, day);
    addResult(id, 19, marker, day);
    run(QStringLiteral("insert into gresult (shelfid, a1, checkdate) values (?, ?, ?)"), {id, marker, day});
}

// How many of the three day tables hold rows of the sample.
int tablesHolding(const QString &id)
{
    return (rowsUnder("patient", id) > 0) + (rowsUnder("testresult", id) > 0) + (rowsUnder("gresult", id) > 0);
}

class SampleEdit : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }
    ws::NumberUse use = ws::NumberUse::Free;
    QString err;
};

} // namespace

TEST_F(SampleEdit, ItemsFoundByNumberOrLiteralAbbreviation)
{
    auto item = ws::findItem(QStringLiteral("  8"), &err);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->label, QStringLiteral("淋巴细胞百分比[LYM%]"));
    // Letter case is ignored, wildcards are not: "lym%" is LYM%, not LYM#.
    for (const auto &[typed, itemid] : {std::pair{"lym%", 8}, {"Lym#", 3}, {"rdw-cv", 18}}) {
        item = ws::findItem(QString::fromLatin1(typed), &err);
        EXPECT_EQ(item ? item->itemid : -1, itemid) << typed;
    }
    for (const char *unknown : {"99", "0", "XYZ", "%", "_BC", "W%", "", "8 ", "WBC "}) {
        EXPECT_FALSE(ws::findItem(QString::fromUtf8(unknown), &err)) << unknown;
        EXPECT_TRUE(err.isEmpty()) << unknown;
    }
}

TEST_F(SampleEdit, StoringOverwritesTheSamplesOwnRowOnly)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"), kEarlier);
    addSample(QStringLiteral("5"), QStringLiteral("earlier"));
    addSample(QStringLiteral("5%"), QStringLiteral("look-alike"));
    for (const auto &[item, value] : {std::pair{8, "30.0"}, {8, "31.0"}, {1, "4.40"}})
        ASSERT_TRUE(ws::storeResult(QStringLiteral("5"), kEarlier, item, QLatin1String(value), &err));

    // One row per item, the sample's own date for a new one; the same
    // number of another day and the look-alike untouched.
    EXPECT_EQ(rows("select shelfid, itemid, value, checkdate from testresult order by shelfid, checkdate, itemid"),
              (Rows{{"5", 1, "4.40", kEarlier}, {"5", 8, "31.0", kEarlier}, {"5", 19, "five", kEarlier},
                    {"5", 1, "earlier", kDay}, {"5", 19, "earlier", kDay},
                    {"5%", 1, "look-alike", kDay}, {"5%", 19, "look-alike", kDay}}));
}

TEST_F(SampleEdit, DeletingTakesExactlyTheSamplesRowsAllOrNothing)
{
    for (const char *id : {"1", "1%", "10", "1 ", "_"})
        addSample(QString::fromLatin1(id), QString::fromLatin1(id));
    addSample(QStringLiteral("1"), QStringLiteral("earlier"), kEarlier);
    ASSERT_TRUE(ws::deleteSample(QStringLiteral("1"), kDay, &err)) << err.toStdString();
    // The same number of another day is another sample.
    EXPECT_EQ(rows("select distinct checkdate from patient where shelfid = '1' union all "
                   "select count(*) from testresult where shelfid = '1' union all "
                   "select checkdate from gresult where shelfid = '1'"),
              (Rows{{kEarlier}, {2}, {kEarlier}}));
    for (const char *other : {"1%", "10", "1 ", "_"})
        EXPECT_EQ(tablesHolding(QString::fromLatin1(other)), 3) << other;

    // The registration cannot go: the results and graph data stay with it.
    const auto before = dump();
    run(QStringLiteral("create trigger refuse before delete on patient begin select raise(abort, 'locked'); end"));
    EXPECT_FALSE(ws::deleteSample(QStringLiteral("10"), kDay, &err));
    EXPECT_TRUE(err.contains(QStringLiteral("locked"))) << err.toStdString();
    EXPECT_EQ(dump(), before);
}

TEST_F(SampleEdit, RenumberingMovesOnlyTheRegistration)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addPatient(QStringLiteral("5"), QStringLiteral("earlier"), 0, kOperator, {}, kEarlier);
    addSample(QStringLiteral("5%"), QStringLiteral("look-alike"));
    addResult(QStringLiteral("8"), 1, QStringLiteral("eight")); // results wait under 8, unregistered
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("5"), kDay, QStringLiteral("8"), &use, &err)) << err.toStdString();
    EXPECT_EQ(tablesHolding("5"), 3); // results and graph data stay under the old number
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='8'")).toString(), QStringLiteral("five"));
    // The same number of another day stays where it is.
    EXPECT_EQ(db::scalar(QStringLiteral("select name from patient where shelfid='5'")).toString(), QStringLiteral("earlier"));
    EXPECT_EQ(tablesHolding("5%"), 3);
    // Numbers compare as text: "08" is not "8".
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("8"), kDay, QStringLiteral("08"), &use, &err));
    EXPECT_EQ(rowsUnder("patient", "08"), 1);
}

// Numbers in use are refused through the window's test.
TEST_F(SampleEdit, RenumberingThatFailsChangesNothing)
{
    addSample(QStringLiteral("5"), QStringLiteral("five"));
    addSample(QStringLiteral("6"), QStringLiteral("six"));
    const auto before = dump();
    run(QStringLiteral("create trigger refuse before update on patient begin select raise(abort, 'locked'); end"));
    EXPECT_FALSE(ws::renumberSample(QStringLiteral("5"), kDay, QStringLiteral("9"), &use, &err));
    EXPECT_TRUE(err.contains(QStringLiteral("locked"))) << err.toStdString();
    EXPECT_EQ(dump(), before);
}
