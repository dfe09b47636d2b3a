// The patient window's rules that its window test does not reach: numbers
// typed with wildcards or quotes, and the next number after an odd one.
#include "common/testdb.h"

#include "platform/db/dataset.h"
#include "workstation/patientreg.h"
#include "wsdb.h"

TEST(PatientRules, NextNumberAndExactLoad)
{
    const struct { const char *now, *next; } numbers[] = {{"007", "8"}, {"12a", "13"}, {"a12", "1"}, {"", "1"}};
    for (const auto &c : numbers)
        EXPECT_EQ(ws::nextSampleNumber(c.now), QLatin1String(c.next)) << c.now;

    testdb::fresh();
    wst::addPatient("15", QStringLiteral("张三"));
    wst::addPatient("1%", QStringLiteral("百分"));
    db::Dataset ds;
    QString err;
    ds.setUpdateTable(QStringLiteral("patient"));
    ds.onNewRecord = [](db::Dataset &d) { d.setValue("operator", wst::kOperator); };
    ASSERT_TRUE(ws::openEmptyPatient(ds, &err)) << err.toStdString();
    // A wildcard typed as a sample number is that number, not a pattern.
    for (const QString &typed : {QStringLiteral("1_"), QStringLiteral("%"), QStringLiteral("1'5")}) {
        ASSERT_TRUE(ws::loadSample(ds, typed, QDate(2026, 12, 6), &err)) << err.toStdString();
        EXPECT_EQ(ds.state(), db::Dataset::State::Insert) << typed.toStdString();
        EXPECT_EQ(ds.text("shelfid") + ds.text("name"), typed);
    }
    // Saving a quoted number stores it as typed; the existing "1%" loads as it is.
    EXPECT_EQ(ws::savePatient(ds, QStringLiteral("1'5"), wst::kOperator, &err), ws::SaveResult::Saved) << err.toStdString();
    EXPECT_EQ(wst::rowsUnder("patient", QStringLiteral("1'5")), 1);
    ASSERT_TRUE(ws::loadSample(ds, "1%", QDate(2026, 12, 6), &err));
    EXPECT_EQ(ds.state(), db::Dataset::State::Browse);
    EXPECT_EQ(ds.text("name"), QStringLiteral("百分"));
}
