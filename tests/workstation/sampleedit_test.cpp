// Manual entry, deleting and renumbering without windows: a sample is its
// number on its day, never a look-alike number or the same number of
// another day, and its rows move or go all together.
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
    for (int item : {1, 19})
        addResult(id, item, marker, day);
    run(QStringLiteral("insert into gresult (shelfid, a1, checkdate) values (?, ?, ?)"), {id, marker, day});
}

// "patient/testresult/gresult" rows of a sample.
QString holding(const QString &id)
{
    return QStringLiteral("%1/%2/%3").arg(rowsUnder("patient", id)).arg(rowsUnder("testresult", id)).arg(rowsUnder("gresult", id));
}

} // namespace

TEST(SampleEdit, ItemsFoundByNumberOrLiteralAbbreviation)
{
    testdb::fresh();
    QString err;
    // Letter case is ignored, wildcards and trailing blanks are not.
    for (const auto &[typed, itemid] : {std::pair{"  8", 8}, {"lym%", 8}, {"Lym#", 3}, {"rdw-cv", 18}, {"99", -1},
                                        {"0", -1}, {"%", -1}, {"_BC", -1}, {"W%", -1}, {"", -1}, {"8 ", -1}}) {
        const auto item = ws::findItem(QString::fromLatin1(typed), &err);
        EXPECT_EQ(item ? item->itemid : -1, itemid) << typed;
        EXPECT_TRUE(err.isEmpty()) << typed;
    }
}

TEST(SampleEdit, StoreDeleteAndRenumberTouchTheSampleOnly)
{
    testdb::fresh();
    QString err;
    for (const char *id : {"5", "5%", "50", "5 ", "_"})
        addSample(QString::fromLatin1(id), QString::fromLatin1(id));
    addSample(QStringLiteral("5"), QStringLiteral("earlier"), kEarlier);
    // One row per item; a new one under the sample's own day.
    for (const auto &[item, value] : {std::pair{8, "30.0"}, {8, "31.0"}, {1, "4.40"}})
        ASSERT_TRUE(ws::storeResult(QStringLiteral("5"), kEarlier, item, QLatin1String(value), &err));
    EXPECT_EQ(rows("select itemid, value from testresult where shelfid='5' and checkdate='2026-11-30' order by itemid"),
              (Rows{{1, "4.40"}, {8, "31.0"}, {19, "earlier"}}));

    // Only the registration moves; "08" is not "8".
    ws::NumberUse use = ws::NumberUse::Free;
    ASSERT_TRUE(ws::renumberSample(QStringLiteral("5"), kDay, QStringLiteral("08"), &use, &err)) << err.toStdString();
    EXPECT_EQ(holding("08") + ' ' + holding("5"), "1/0/0 1/5/2");
    EXPECT_EQ(db::scalar("select checkdate from patient where shelfid='5'").toString(), kEarlier);
    ASSERT_TRUE(ws::deleteSample(QStringLiteral("5"), kDay, &err)) << err.toStdString();
    EXPECT_EQ(holding("5"), "1/3/1"); // the earlier day's sample stays
    for (const char *other : {"5%", "50", "5 ", "_"})
        EXPECT_EQ(holding(QString::fromLatin1(other)), "1/2/1") << other;

    // A refusal anywhere changes nothing.
    const auto before = dump();
    run("create trigger refuse before delete on patient begin select raise(abort, 'locked'); end");
    run("create trigger refuse2 before update on patient begin select raise(abort, 'locked'); end");
    EXPECT_FALSE(ws::deleteSample(QStringLiteral("50"), kDay, &err));
    EXPECT_TRUE(err.contains(QStringLiteral("locked"))) << err.toStdString();
    EXPECT_FALSE(ws::renumberSample(QStringLiteral("50"), kDay, QStringLiteral("9"), &use, &err));
    EXPECT_EQ(dump(), before);
}
