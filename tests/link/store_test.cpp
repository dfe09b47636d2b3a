// Storing records through the receiver: rows written, exact sample numbers,
// refused records that leave nothing behind, lamp and status.
#include "link/linkreceiver.h"
#include "link/resultstore.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "common/testdb.h"
#include "tables.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace intake;
using namespace tables;

namespace {

const QString kDay = QStringLiteral("2026-12-06");

class Store : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testdb::fresh();
        // Many commits per test: durability is not what is tested here.
        ASSERT_TRUE(db::exec(QStringLiteral("PRAGMA synchronous = OFF")));
    }
    // The value stored, <none> or <twice>.
    static QString value(const QString &shelfid, int itemid)
    {
        const auto r = rows(QStringLiteral("SELECT value FROM testresult WHERE shelfid = ? AND itemid = ? "
                                           "AND checkdate = ?"), {shelfid, itemid, kDay});
        return r.isEmpty() ? QStringLiteral("<none>") : r.size() > 1 ? QStringLiteral("<twice>") : r[0][0];
    }
    // a1..a12 and checkdate of the sample's graph row.
    static QStringList graphRow(const QString &shelfid)
    {
        const auto r = rows(QStringLiteral("SELECT a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, checkdate "
                                           "FROM gresult WHERE shelfid = ? AND checkdate = ?"), {shelfid, kDay});
        EXPECT_LE(r.size(), 1);
        return r.value(0);
    }
};

} // namespace

TEST_F(Store, RecordWritesItsValuesAndGraphRowAndAResentOneOverwrites)
{
    LinkReceiver link;
    // HGB (13) has hsyz 10 and no decimals; WBC (1) two decimals.
    const ReceiveResult r = link.receive("@ 5DIFF\ru 0012 \rA  5.58\rB  2.00\rM 14.25\rG ---.-\rH 43.8H\r"
                                         "X !\"#  \r[ 0F0F\r^ 12 40\r\x03", kDay);
    EXPECT_EQ(r.stored, QStringList{"0012"});
    EXPECT_FALSE(r.status || !r.malformed.isEmpty());
    for (const auto &[item, stored] : {std::pair{13, "142"}, {7, "---.-"}, {8, "43.8H"}, {3, "<none>"}})
        EXPECT_EQ(value("0012", item), stored) << item;
    // Absent graph lines are empty texts, not NULL.
    EXPECT_EQ(graphRow("0012"), (QStringList{"", "!\"#  ", "", "", "0F0F", "", "", "12 40", "", "", "", "", kDay}));

    // Sent again the same day: its own values replaced, others kept.
    link.receive("u 0012\rA  3.00\r\x03", kDay);
    EXPECT_EQ(value("0012", 1) + value("0012", 2), "3.002.00");
    EXPECT_EQ(graphRow("0012"), QStringList(12, QString()) << kDay); // a whole new graph row
}

// The product is rounded half to even to four decimals, then written with
// the item's decimals; a longer value line gives its first five characters.
TEST_F(Store, ValuesAreScaledAndRoundedToFourDecimalsBeforeTheItemsDecimals)
{
    const struct { int itemid; const char *hsyz; int bitnum; const char *sent, *stored; } cases[] = {
        {1, "1", 4, "7E-05", "0.0001"}, {2, "0.05", 4, "1.235", "0.0618"}, {3, "1", 4, "-7E-5", "-0.0001"},
        {4, "1", 4, "4E-05", "0.0000"}, {5, "0.01", 2, "1.499", "0.02"},   {6, "0.05", 4, "0.999", "0.0500"},
        // The value is the five characters after the separator.
        {7, "1", 0, "123456", "12345"},
    };
    QByteArray record("u 31\r");
    for (const auto &c : cases) {
        ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET hsyz = ?, bitnum = ? WHERE itemid = ?"),
                             {QString::fromLatin1(c.hsyz), c.bitnum, c.itemid}));
        record += QByteArray(1, char('A' + c.itemid - 1)) + ' ' + c.sent + '\r';
    }
    LinkReceiver link;
    ASSERT_EQ(link.receive(record + '\x03', kDay).stored, QStringList{"31"});
    for (const auto &c : cases)
        EXPECT_EQ(value("31", c.itemid).toStdString(), c.stored) << c.sent << " * " << c.hsyz;
}

TEST_F(Store, EveryCompletedRecordIsStoredAtOnceOnlyFromItsOwnTextAndDespiteCatalogueGaps)
{
    // A missing factor keeps the raw text; a missing decimals count means none.
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET hsyz = NULL WHERE itemid = 1")));
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET bitnum = NULL WHERE itemid = 2")));
    LinkReceiver link;
    QSignalSpy ended(&link, &LinkReceiver::recordsEnded);
    // Record 1 lacks item B and the RBC line; record 2, in the same chunk,
    // has them; record 3 has no sample number but ends all the same.
    ReceiveResult r = link.receive("u 1\rA 1.00\r\x03\ru 2\rA 1.234\rB  2.50\rX zz\r\x03@ x\rA 1.00\r\x03u 3\r", kDay);
    EXPECT_EQ(QStringLiteral("%1:%2:%3").arg(r.records).arg(r.stored.join(',')).arg(ended.count()), "3:1,2:1");
    EXPECT_EQ(QStringList({value("1", 2), graphRow("1")[1], value("2", 1), value("2", 2), graphRow("2")[1]}).join('|'),
              "<none>||1.234|2|zz");
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), 2);
    EXPECT_EQ(link.buffer().text(), QByteArray("u 3\r\n"));
}

TEST_F(Store, SampleNumbersMatchExactlyAndMalformedOnesAreListedEachTime)
{
    LinkReceiver link;
    QSignalSpy listed(&link, &LinkReceiver::malformedNumber);
    // All but the first two are listed for correction, every time they come.
    // "0000000012" fills the column exactly and is another sample than "12".
    const QStringList numbers{"12", "0000000012", "1%", "1_", "O'Brien", "O'B%", "a12", "A12", "202612060012"};
    for (const QString &n : numbers)
        link.receive("u " + n.toLatin1() + "\rA  1.00\rX " + n.toLatin1() + "\r\x03", kDay);
    // Each number sent again with its own value touches only its own rows.
    QStringList malformed;
    for (int i = 0; i < numbers.size(); ++i)
        malformed += link.receive("u " + numbers[i].toLatin1() + "\rA " + QByteArray::number(10 + i) + ".0\r\x03",
                                  kDay).malformed;
    for (int i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(value(numbers[i], 1) + graphRow(numbers[i]).value(1), QStringLiteral("%1.00").arg(10 + i))
            << qPrintable(numbers[i]);
    EXPECT_EQ(rows("SELECT count(*) FROM testresult UNION ALL SELECT count(*) FROM gresult"),
              (QVector<QStringList>{{"9"}, {"9"}}));
    EXPECT_EQ(malformed.join(' ').toStdString(), numbers.mid(2).join(' ').toStdString());
    EXPECT_EQ(listed.count(), 14);
}

TEST_F(Store, RefusedRecordsWaitAndAreStoredInArrivalOrderOnceTheDatabaseAccepts)
{
    // The database refuses the graph row of sample 66, after its results.
    ASSERT_TRUE(db::exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON gresult WHEN NEW.shelfid = '66' "
        "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
    LinkReceiver link;
    QSignalSpy failed(&link, &LinkReceiver::storeFailed);
    ReceiveResult r = link.receive("u 65\rA  1.00\r\x03u 66\rA  1.00\r\x03u 67\rA  1.00\r\x03", kDay);
    EXPECT_EQ(QString::number(r.records) + ":" + r.stored.join(','), "3:65");
    EXPECT_EQ(value("66", 1) + value("67", 1), "<none><none>");
    // A resent 66 waits behind the first one, so the later values win.
    r = link.receive("u 66\rA  2.00\r\x03", kDay);
    EXPECT_EQ(link.waitingCount(), 3);
    ASSERT_TRUE(r.status);
    EXPECT_EQ(r.status->message,
              QStringLiteral("3个标本结果等待保存：磁盘空间已满，数据无法写入数据库。请清理磁盘空间后再试。"
                             "（database or disk is full Unable to fetch row）"));
    EXPECT_EQ(failed.count(), 1);

    ASSERT_TRUE(db::exec(QStringLiteral("DROP TRIGGER refuse")));
    r = link.retryWaiting();
    EXPECT_EQ(r.stored, (QStringList{"66", "67", "66"}));
    EXPECT_EQ(value("66", 1) + value("67", 1), "2.001.00");
    EXPECT_EQ(r.status->message, QStringLiteral("等待保存的标本结果已全部保存"));
    EXPECT_EQ(link.waitingCount(), 0);
}

TEST_F(Store, LampLitWhileARecordComesQuietCodesSayNothingAndUnknownOnesAreErrors)
{
    LinkReceiver link;
    QSignalSpy lamp(&link, &LinkReceiver::lampChanged);
    QSignalSpy status(&link, &LinkReceiver::statusChanged);
    QStringList seen{link.lamp().name()};
    for (const char *bytes : {"u 1\r", "A  1.00\r", "\x03"})
        seen << link.receive(bytes, kDay).lamp.name();
    seen << QString::number(lamp.count());
    EXPECT_EQ(seen.join(' '), "#800000 #00ff00 #00ff00 #800000 2");
    // Characters waiting and sent say nothing; a code outside the table is an error of its own.
    EXPECT_FALSE(link.commEvent(1) || link.commEvent(2) || status.count());
    EXPECT_EQ(link.commEvent(1012), (StatusText{QStringLiteral("错误:"), QStringLiteral("未知错误")}));
}
