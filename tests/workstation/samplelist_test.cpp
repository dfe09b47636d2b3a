// The sample list's queries, limits and colours against a fresh database.
#include "common/testdb.h"

#include "platform/db/dataset.h"
#include "workstation/samplelist.h"

#include "wsdb.h"

using namespace wst;

namespace {

QStringList listIds(int filter)
{
    db::Dataset ds;
    EXPECT_TRUE(ds.open(ws::patientQuery(filter))) << ds.lastError().toStdString();
    return column(ds, "shelfid");
}

} // namespace

TEST(SampleList, FiltersOrderAndNullPrintflag)
{
    testdb::fresh();
    addPatient("10");
    addPatient("9", {}, 1);
    addPatient("2", {}, QVariant()); // never printed, flag lost
    run(QStringLiteral("insert into patient (shelfid) values ('5')")); // the column default: unprinted
    EXPECT_EQ(listIds(ws::FilterAll), (QStringList{"2", "5", "9", "10"}));
    EXPECT_EQ(listIds(ws::FilterUnprinted) << "/" << listIds(ws::FilterPrinted), (QStringList{"5", "10", "/", "9"}));
    EXPECT_TRUE(ws::patientQuery(ws::FilterNone).isEmpty());
}

// Only the exact text "女" takes the women's limits (item 12: man 4.3-5.8,
// woman 3.8-5.1); a quoted or wildcard-like number finds only its own rows.
TEST(SampleList, DetailsBindTheSampleAndItsSex)
{
    testdb::fresh();
    for (const QString &sex : {QStringLiteral("女"), QStringLiteral("男"), QStringLiteral(" 女"), QStringLiteral("F")}) {
        const QString id = QStringLiteral("S") + QString::number(sex.size()) + sex;
        addResults(id, {{12, "4.0"}, {1, "5.0"}});
        db::Dataset results, graphs;
        QString err;
        ASSERT_TRUE(ws::openSampleDetails(results, graphs, id, kDay, sex, &err)) << err.toStdString();
        EXPECT_EQ(column(results, "itemid") << results.valueAt(1, QStringLiteral("reflow")).toString(),
                  (QStringList{"1", "12", sex == QStringLiteral("女") ? "3.8" : "4.3"})) << sex.toStdString();
    }
    const QString quoted = QStringLiteral("1'2");
    addResult(quoted, 1, "7.1");
    addResult("1_2", 1, "3.3");
    run(QStringLiteral("insert into gresult (shelfid, checkdate, a2) values (?, ?, 'abc')"), {quoted, kDay});
    db::Dataset results, graphs;
    QString err;
    ASSERT_TRUE(ws::openSampleDetails(results, graphs, quoted, kDay, QString(), &err)) << err.toStdString();
    EXPECT_EQ(column(results, "value") + column(graphs, "a2"), (QStringList{"7.1", "abc"}));
    ASSERT_TRUE(ws::deleteResult(quoted, kDay, 1, &err)) << err.toStdString();
    EXPECT_EQ(rowsUnder("testresult", "1_2") + rowsUnder("testresult", quoted), 1);
    // No current sample: both details open empty.
    ASSERT_TRUE(ws::openSampleDetails(results, graphs, QVariant(), QVariant(), QString(), &err));
    EXPECT_TRUE(results.isOpen() && results.isEmpty() && graphs.isEmpty());
}

// The grids' colours are checked on screen; these are the number readings
// the screen test does not meet.
TEST(SampleList, ResultColoursReadNumbersAsNumbers)
{
    using M = ws::ResultMark;
    const struct { const char *value, *low, *high; M mark; } cases[] = {
        {"1e1", "3.5", "9.5", M::OutOfRange}, {"-5", "", "9.5", M::Normal}, {"12", "", "9.5 ", M::Normal},
        {"", "3.5", "9.5", M::NotNumeric},    {".", "0.1", "", M::OutOfRange}, {"5.", "", "5", M::Normal},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ws::resultMark(c.value, c.low, c.high), c.mark) << c.value << " " << c.low << "-" << c.high;
    const auto p = ws::qcPeriodOf(QDate(2026, 12, 31));
    EXPECT_EQ(std::pair(p.begin, p.end), std::pair(QDate(2026, 12, 1), QDate(2027, 1, 1)));
    EXPECT_EQ(ws::qcPeriodOf(QDate(2028, 2, 29)).end, QDate(2028, 3, 1));
}
