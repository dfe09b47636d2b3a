// The sample rules the windows do not reach, against a fresh database: a
// sample is its number on its day, never a look-alike number (quotes,
// wildcards, leading zeros) or the same number of another day, and its rows
// are read, moved or deleted all together.
#include "common/testdb.h"

#include "platform/db/dataset.h"
#include "workstation/patientreg.h"
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

// The next number after an odd one, and numbers typed with wildcards or quotes.
TEST(PatientRules, NextNumberAndExactLoad)
{
    const struct { const char *now, *next; } numbers[] = {{"007", "8"}, {"12a", "13"}, {"a12", "1"}, {"", "1"}};
    for (const auto &c : numbers)
        EXPECT_EQ(ws::nextSampleNumber(c.now), QLatin1String(c.next)) << c.now;

    testdb::fresh();
    addPatient("15", QStringLiteral("张三"));
    addPatient("1%", QStringLiteral("百分"));
    db::Dataset ds;
    QString err;
    ds.setUpdateTable(QStringLiteral("patient"));
    ds.onNewRecord = [](db::Dataset &d) { d.setValue("operator", kOperator); };
    ASSERT_TRUE(ws::openEmptyPatient(ds, &err)) << err.toStdString();
    for (const QString &typed : {QStringLiteral("1_"), QStringLiteral("%"), QStringLiteral("1'5")}) {
        ASSERT_TRUE(ws::loadSample(ds, typed, QDate(2026, 12, 6), &err)) << err.toStdString();
        EXPECT_EQ(ds.state(), db::Dataset::State::Insert) << typed.toStdString();
        EXPECT_EQ(ds.text("shelfid") + ds.text("name"), typed);
    }
    // Saving a quoted number stores it as typed.
    EXPECT_EQ(ws::savePatient(ds, QStringLiteral("1'5"), kOperator, &err), ws::SaveResult::Saved) << err.toStdString();
    EXPECT_EQ(rowsUnder("patient", QStringLiteral("1'5")), 1);
}

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
