// Lot numbers and statistics against a fresh database (months are set up and
// control values captured, corrected and deleted on the page).
#include "common/testdb.h"

#include "platform/db/command.h"
#include "qc/qclogic.h"

#include <gtest/gtest.h>

namespace {

void run(const QString &sql) { QString err; ASSERT_TRUE(db::exec(sql, {}, &err)) << err.toStdString(); }
QVector<QVariantList> rows(const QString &sql) { QVector<QVariantList> r; EXPECT_TRUE(db::select(sql, {}, &r)); return r; }
int count(const QString &where) { return db::scalar("select count(*) from " + where).toInt(); }

class QcLogic : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }
};

} // namespace

TEST(QcRules, StatisticsSkipWhatIsNoNumber)
{
    EXPECT_EQ(qc::statistics({}).count, 0);
    const qc::Stats s = qc::statistics({"10", "", "***", "1.2.3", "12 ", "12"});
    EXPECT_EQ(s.count, 2);   // "12 " has a trailing blank: no number
    EXPECT_EQ(qc::statsText(s), "X=11.00 SD=1.41 CV=12.86%");
    EXPECT_EQ(qc::statsText(qc::statistics({"-1", "1"})), "X=0.00 SD=1.41 CV=0.00%");
    EXPECT_DOUBLE_EQ(qc::statistics({".5", "5.", "1e1"}).mean, 15.5 / 3);
    // Rounded to four decimals first, then to two with a tie going away from zero.
    for (const auto &[v, text] : {std::pair{1.00499, "1.01"}, {1.00449, "1.00"}, {12.856, "12.86"}, {10.125, "10.13"},
                                  {10.135, "10.14"}, {-10.125, "-10.13"}})
        EXPECT_EQ(qc::formatStat(v), text) << v;

    // Values are stored as short four-decimal text.
    for (const auto &[in, out] : {std::pair{"5.10", "5.1"}, {"5.12346", "5.1235"}, {" 7", "7"}, {"****", "-"}, {"", "-"}, {"5%", "-"}})
        EXPECT_EQ(qc::normaliseValue(in).value_or("-"), out) << in;
}

TEST_F(QcLogic, LotFillsOnlyEmptyTargetsFromTheLatestMonthWithIt)
{
    QString err;
    for (int month : {1, 2, 3})
        ASSERT_TRUE(qc::setupMonth(2024, month, nullptr, &err));
    run("update qcpara set batchno1='L1', xb1=4, s1=0.4 where zkmonth=1 and itemno=1");
    run("update qcpara set batchno1='L1', xb1=5, s1=0.5, xb2=7, s3=0.1 where zkmonth=2 and itemno=1");
    run("update qcpara set xb1=6 where zkmonth=3 and itemno=1");

    ASSERT_TRUE(qc::applyLot(2024, 3, 1, "L1", &err)) << err.toStdString();
    EXPECT_EQ(count("qcpara where zkmonth=3 and batchno1='L1'"), 24);
    EXPECT_EQ(rows("select xb1, s1, xb2, s2, s3 from qcpara where zkmonth=3 and itemno=1"), (QVector<QVariantList>{{6.0, 0.5, 7.0, QVariant(), 0.1}}));
    EXPECT_EQ(count("qcpara where zkmonth=3 and (itemno=2 and xb1 is not null or batchno2 is not null)"), 0);

    // Blanks are part of the lot: " L1 " is another lot.
    ASSERT_TRUE(qc::applyLot(2024, 3, 2, " L1 ", &err));
    EXPECT_EQ(count("qcpara where zkmonth=3 and batchno2=' L1 ' and (itemno<>2 or xb2 is null)"), 24);
}
