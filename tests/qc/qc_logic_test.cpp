// Targets of a month, lot numbers, control values and statistics against a
// fresh database.
#include "common/testdb.h"

#include "platform/db/command.h"
#include "platform/db/dataset.h"
#include "qc/qclogic.h"

#include <gtest/gtest.h>

namespace {

void run(const QString &sql) { QString err; ASSERT_TRUE(db::exec(sql, {}, &err)) << err.toStdString(); }
QVector<QVariantList> rows(const QString &sql) { QVector<QVariantList> r; EXPECT_TRUE(db::select(sql, {}, &r)); return r; }
int count(const QString &where) { return db::scalar(QStringLiteral("select count(*) from ") + where).toInt(); }

QString qcValue(const char *date, int item, int level)
{
    const QVariant v = db::scalar(QStringLiteral("select value%1 from qctb where qcdate=? and itemid=?").arg(level),
                                  {QLatin1String(date), item});
    return v.isValid() ? v.toString() : QStringLiteral("<none>");
}

class QcLogic : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(); }

    // A sample of a day with results of items 1, 2, ... (empty: none).
    void sample(const char *shelfid, const char *name, const char *date, const QStringList &values)
    {
        ASSERT_TRUE(db::exec(QStringLiteral("insert into patient (shelfid, name, checkdate) values (?,?,?)"),
                             {QLatin1String(shelfid), QString::fromUtf8(name), QLatin1String(date)}));
        for (int i = 0; i < values.size(); ++i)
            if (!values[i].isEmpty())
                ASSERT_TRUE(db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?,?,?,?)"),
                                     {QLatin1String(shelfid), QLatin1String(date), i + 1, values[i]}));
    }
    void capture(qc::CaptureCount *c = nullptr)
    {
        QVector<QVariantList> raw;
        QStringList cols;
        QString err;
        ASSERT_TRUE(db::select(qc::captureQuery(), {QStringLiteral("质控品%")}, &raw, &err, &cols));
        db::Dataset temp;
        temp.assign(cols, raw);
        ASSERT_TRUE(qc::storeCaptured(temp, c, &err)) << err.toStdString();
    }
};

} // namespace

TEST_F(QcLogic, MonthSetUpCreatesOneRowPerItemOnce)
{
    ASSERT_EQ(count(QStringLiteral("itemtb")), 24);
    bool created = false;
    QString err;
    ASSERT_TRUE(qc::setupMonth(2024, 3, &created, &err)) << err.toStdString();
    EXPECT_TRUE(created);
    EXPECT_EQ(count(QStringLiteral("qcpara q join itemtb i on i.itemid=q.itemno where zkyear=2024 and zkmonth=3")), 24);
    EXPECT_EQ(count(QStringLiteral("qcpara where coalesce(batchno1,batchno2,batchno3,xb1,xb2,xb3,s1,s2,s3) is not null")), 0);

    // A second visit adds nothing, even for an item added since; another
    // month gets its own rows, the new item included.
    run(QStringLiteral("insert into itemtb (itemid, abbreviation, name) values (25, 'X', 'x')"));
    ASSERT_TRUE(qc::setupMonth(2024, 3, &created, &err));
    EXPECT_FALSE(created);
    EXPECT_EQ(count(QStringLiteral("qcpara")), 24);
    ASSERT_TRUE(qc::setupMonth(2025, 3, &created, &err));
    EXPECT_EQ(count(QStringLiteral("qcpara where zkyear=2025")), 25);
}

TEST(QcRules, StatisticsSkipWhatIsNoNumber)
{
    EXPECT_EQ(qc::statistics({}).count, 0);
    qc::Stats s = qc::statistics({QStringLiteral("10"), QString(), QStringLiteral("***"), QStringLiteral("1.2.3"),
                                  QStringLiteral("12 "), QStringLiteral("12")});
    EXPECT_EQ(s.count, 2);   // "12 " has a trailing blank: no number
    EXPECT_EQ(qc::statsText(s), QStringLiteral("X=11.00 SD=1.41 CV=12.86%"));
    EXPECT_EQ(qc::statsText(qc::statistics({QStringLiteral("-1"), QStringLiteral("1")})),
              QStringLiteral("X=0.00 SD=1.41 CV=0.00%"));
    s = qc::statistics({QStringLiteral(".5"), QStringLiteral("5."), QStringLiteral("1e1")});
    EXPECT_EQ(s.count, 3);
    EXPECT_DOUBLE_EQ(s.mean, 15.5 / 3);
    // Rounded to four decimals first, then to two with a tie going away
    // from zero.
    for (const auto &[v, text] : std::initializer_list<std::pair<double, const char *>>{
             {1.00499, "1.01"}, {1.00449, "1.00"}, {12.856, "12.86"}, {10.125, "10.13"}, {10.135, "10.14"},
             {-10.125, "-10.13"}})
        EXPECT_EQ(qc::formatStat(v), QLatin1String(text)) << v;

    // Values are stored as short four-decimal text.
    const std::pair<const char *, const char *> values[] = {{"5.10", "5.1"}, {"5.12346", "5.1235"}, {" 7", "7"},
                                                            {"****", "-"}, {"", "-"}, {"5%", "-"}};
    for (const auto &[in, out] : values)
        EXPECT_EQ(qc::normaliseValue(QLatin1String(in)).value_or(QStringLiteral("-")), QLatin1String(out)) << in;
}

TEST_F(QcLogic, CaptureCopiesMarkedSamplesIntoTheirDayAndMaterial)
{
    sample("1", "质控品1", "2024-03-05", {"7.20", "****", "4.5"});
    sample("2", "质控品2", "2024-03-05", {"15.123456"});
    sample("3", "质控品12", "2024-03-05", {"99"});
    sample("4", "张三", "2024-03-05", {"88"});
    sample("5", "质控品1", "2024-03-06", {"7.4"});

    qc::CaptureCount c;
    capture(&c);
    EXPECT_EQ(QList<int>({c.stored, c.skippedNames, c.skippedValues}), QList<int>({4, 1, 1}));
    const struct { const char *date; int item, level; const char *value; } stored[] = {
        {"2024-03-05", 1, 1, "7.2"}, {"2024-03-05", 1, 2, "15.1235"}, {"2024-03-05", 1, 3, "<none>"},
        {"2024-03-05", 3, 1, "4.5"}, {"2024-03-06", 1, 1, "7.4"}};
    for (const auto &v : stored)
        EXPECT_EQ(qcValue(v.date, v.item, v.level), QLatin1String(v.value)) << v.date << " " << v.item << " " << v.level;
    EXPECT_EQ(count(QStringLiteral("qctb")), 3);

    // Capturing again updates the same rows with the current results.
    run(QStringLiteral("update testresult set value='7.3' where shelfid='1' and itemid=1"));
    capture();
    EXPECT_EQ(count(QStringLiteral("qctb")), 3);
    EXPECT_EQ(qcValue("2024-03-05", 1, 1), QStringLiteral("7.3"));
    EXPECT_EQ(qcValue("2024-03-05", 1, 2), QStringLiteral("15.1235"));

    // Two samples of one material on one day: one row, the later sample wins.
    sample("6", "质控品1", "2024-03-05", {"8"});
    capture();
    EXPECT_EQ(count(QStringLiteral("qctb where qcdate='2024-03-05' and itemid=1")), 1);
    EXPECT_EQ(qcValue("2024-03-05", 1, 1), QStringLiteral("8"));
}

TEST_F(QcLogic, CorrectionAndDeletionTouchOnlyTheirMaterial)
{
    QString err;
    bool stored = false;
    run(QStringLiteral("insert into qctb (qcdate, itemid, value1, value2) values ('2024-03-05', 1, '7', '15')"));
    // A value replaces only its material's; a day without a row gets one; a
    // text that is no number stores nothing.
    ASSERT_TRUE(qc::storeValue(QDate(2024, 3, 5), 1, 1, QStringLiteral("7.50"), &stored, &err));
    EXPECT_EQ(qcValue("2024-03-05", 1, 1) + "/" + qcValue("2024-03-05", 1, 2), QStringLiteral("7.5/15"));
    ASSERT_TRUE(qc::storeValue(QDate(2024, 3, 6), 1, 3, QStringLiteral("2"), &stored, &err));
    EXPECT_EQ(rows(QStringLiteral("select value1, value2, value3 from qctb where qcdate='2024-03-06'")),
              (QVector<QVariantList>{{QVariant(), QVariant(), QStringLiteral("2")}}));
    ASSERT_TRUE(qc::storeValue(QDate(2024, 3, 5), 1, 1, QStringLiteral("%"), &stored, &err));
    EXPECT_FALSE(stored);
    EXPECT_EQ(qcValue("2024-03-05", 1, 1), QStringLiteral("7.5"));
    EXPECT_FALSE(qc::storeValue(QDate(2024, 3, 5), 1, 0, QStringLiteral("1"), &stored, &err));

    // Deleting material 1 keeps material 2 of that day; the last value takes the row.
    ASSERT_TRUE(qc::deleteValue(QDate(2024, 3, 5), 1, 1, &err)) << err.toStdString();
    EXPECT_EQ(qcValue("2024-03-05", 1, 1) + qcValue("2024-03-05", 1, 2), QStringLiteral("<none>15"));
    ASSERT_TRUE(qc::deleteValue(QDate(2024, 3, 5), 1, 2, &err));
    EXPECT_EQ(count(QStringLiteral("qctb where qcdate='2024-03-05'")), 0);
}

TEST_F(QcLogic, LotFillsOnlyEmptyTargetsFromTheLatestMonthWithIt)
{
    QString err;
    for (int month : {1, 2, 3})
        ASSERT_TRUE(qc::setupMonth(2024, month, nullptr, &err));
    run(QStringLiteral("update qcpara set batchno1='L1', xb1=4, s1=0.4 where zkmonth=1 and itemno=1"));
    run(QStringLiteral("update qcpara set batchno1='L1', xb1=5, s1=0.5, xb2=7, s3=0.1 where zkmonth=2 and itemno=1"));
    run(QStringLiteral("update qcpara set xb1=6 where zkmonth=3 and itemno=1"));

    ASSERT_TRUE(qc::applyLot(2024, 3, 1, QStringLiteral("L1"), &err)) << err.toStdString();
    EXPECT_EQ(count(QStringLiteral("qcpara where zkmonth=3 and batchno1='L1'")), 24);
    EXPECT_EQ(rows(QStringLiteral("select xb1, s1, xb2, s2, s3 from qcpara where zkmonth=3 and itemno=1")),
              (QVector<QVariantList>{{6.0, 0.5, 7.0, QVariant(), 0.1}}));
    EXPECT_EQ(count(QStringLiteral("qcpara where zkmonth=3 and (itemno=2 and xb1 is not null or batchno2 is not null)")), 0);

    // Blanks are part of the lot: " L1 " is another lot.
    ASSERT_TRUE(qc::applyLot(2024, 3, 2, QStringLiteral(" L1 "), &err));
    EXPECT_EQ(count(QStringLiteral("qcpara where zkmonth=3 and batchno2=' L1 '")), 24);
    EXPECT_EQ(count(QStringLiteral("qcpara where zkmonth=3 and itemno=2 and xb2 is not null")), 0);
}
