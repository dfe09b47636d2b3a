// Storing records through the receiver: rows written, mended faults of the
// record intake, lamp and status, and the chunking property over simulator
// streams.
#include "link/linkreceiver.h"
#include "link/resultstore.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "recordgen.h"
#include "common/testdb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace intake;

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

    static QString value(const QString &shelfid, int itemid)
    {
        QVector<QVariantList> rows;
        EXPECT_TRUE(db::select(QStringLiteral("SELECT value FROM testresult WHERE shelfid = ? AND itemid = ?"),
                               {shelfid, itemid}, &rows));
        if (rows.size() > 1)
            return QStringLiteral("<duplicate>");
        return rows.isEmpty() ? QStringLiteral("<none>") : rows[0][0].toString();
    }
    static QVariantList graphRow(const QString &shelfid)
    {
        QVector<QVariantList> rows;
        EXPECT_TRUE(db::select(QStringLiteral("SELECT a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, checkdate "
                                              "FROM gresult WHERE shelfid = ?"), {shelfid}, &rows));
        EXPECT_LE(rows.size(), 1);
        return rows.value(0);
    }
    static int count(const char *sql, const QVariantList &params = {})
    {
        return db::scalar(QString::fromLatin1(sql), params).toInt();
    }
    static void clearTables()
    {
        ASSERT_TRUE(db::exec(QStringLiteral("DELETE FROM testresult")));
        ASSERT_TRUE(db::exec(QStringLiteral("DELETE FROM gresult")));
    }
    // All stored rows, in a fixed order, as text.
    static QStringList dump()
    {
        QStringList out;
        QVector<QVariantList> rows;
        EXPECT_TRUE(db::select(QStringLiteral("SELECT shelfid, itemid, value, checkdate FROM testresult "
                                              "ORDER BY shelfid, itemid, value"), {}, &rows));
        for (const auto &r : rows)
            out << QStringLiteral("T|%1|%2|%3|%4").arg(r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString());
        rows.clear();
        EXPECT_TRUE(db::select(QStringLiteral("SELECT shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, "
                                              "checkdate FROM gresult ORDER BY shelfid, a5"), {}, &rows));
        for (const auto &r : rows) {
            QStringList f;
            for (const QVariant &v : r)
                f << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            out << QStringLiteral("G|") + f.join(QLatin1Char('|'));
        }
        return out;
    }
};

} // namespace

TEST_F(Store, RecordWritesItsValuesAndGraphRowAndAResentOneOverwrites)
{
    LinkReceiver link;
    // HGB (13) has hsyz 10 and no decimals; WBC (1) two decimals.
    const ReceiveResult r = link.receive("@ 5DIFF\ru 0012 \rA  5.58\rB  2.00\rM 14.25\rG ---.-\rH 43.8H\r"
                                         "X !\"#  \r[ 0F0F\r^ 12 40\r\x03", QStringLiteral("2026-12-05"));
    EXPECT_EQ(r.records, 1);
    EXPECT_EQ(r.stored, QStringList{"0012"});
    EXPECT_TRUE(r.malformed.isEmpty());
    EXPECT_FALSE(r.status);
    EXPECT_EQ(value("0012", 13), "142");
    EXPECT_EQ(value("0012", 7), "---.-");
    EXPECT_EQ(value("0012", 8), "43.8H");
    EXPECT_EQ(value("0012", 3), "<none>");
    QVariantList g = graphRow("0012");
    ASSERT_EQ(g.size(), 13);
    EXPECT_EQ(g[1].toString(), "!\"#  ");
    EXPECT_EQ(g[4].toString(), "0F0F");
    EXPECT_EQ(g[7].toString(), "12 40");
    EXPECT_FALSE(g[0].isNull()); // absent graph lines are empty texts, not NULL
    EXPECT_EQ(g[0].toString(), "");
    EXPECT_TRUE(link.buffer().text().isEmpty());

    // Sent again: its own values replaced under the new date, others kept.
    link.receive("u 0012\rA  3.00\r\x03", kDay);
    EXPECT_EQ(value("0012", 1), "3.00");
    EXPECT_EQ(value("0012", 2), "2.00");
    EXPECT_EQ(count("SELECT count(*) FROM testresult WHERE itemid = 1 AND checkdate = ?", {kDay}), 1);
    g = graphRow("0012");
    EXPECT_EQ(g[1].toString(), ""); // the new record has no RBC line
    EXPECT_EQ(g[12].toString(), kDay);
}

TEST_F(Store, EveryCompletedRecordIsStoredAtOnceAndOnlyFromItsOwnText)
{
    LinkReceiver link;
    QSignalSpy ended(&link, &LinkReceiver::recordsEnded);
    // Record 1 lacks item B and the RBC line; record 2, in the same chunk,
    // has them; record 3 has no sample number but ends all the same.
    ReceiveResult r = link.receive("u 1\rA  1.00\r\x03\ru 2\rA  2.00\rB  2.50\rX zz\r\x03@ x\rA  1.00\r\x03u 3\r",
                                   kDay);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.stored, (QStringList{"1", "2"}));
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(value("1", 2), "<none>");
    EXPECT_EQ(graphRow("1")[1].toString(), "");
    EXPECT_EQ(value("2", 2), "2.50");
    EXPECT_EQ(graphRow("2")[1].toString(), "zz");
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), 2);
    EXPECT_EQ(link.buffer().text(), QByteArray("u 3\r\n"));

    // CR and LF cut between chunks are one line end.
    link.receive("\nA  1.00\r", kDay);
    link.receive("\nB  2.00\r\n\x03", kDay);
    EXPECT_EQ(value("3", 1), "1.00");
    EXPECT_EQ(value("3", 2), "2.00");
}

TEST_F(Store, SampleNumbersMatchExactly)
{
    LinkReceiver link;
    const QStringList numbers{"12", "1%", "1_", "13", "O'Brien", "O'B%", "a12", "A12"};
    for (const QString &n : numbers)
        link.receive("u " + n.toLatin1() + "\rA  1.00\rX " + n.toLatin1() + "\r\x03", kDay);
    // Each number sent again with its own value touches only its own rows.
    for (int i = 0; i < numbers.size(); ++i)
        link.receive("u " + numbers[i].toLatin1() + "\rA " + QByteArray::number(10 + i) + ".0\r\x03", kDay);
    for (int i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(value(numbers[i], 1), QStringLiteral("%1.00").arg(10 + i)) << qPrintable(numbers[i]);
        EXPECT_EQ(graphRow(numbers[i]).value(1).toString(), "") << qPrintable(numbers[i]);
    }
    EXPECT_EQ(count("SELECT count(*) FROM testresult"), numbers.size());
    EXPECT_EQ(count("SELECT count(*) FROM gresult"), numbers.size());
}

TEST_F(Store, MalformedAndOverlongNumbersAreStoredAndListedEachTime)
{
    LinkReceiver link;
    QSignalSpy listed(&link, &LinkReceiver::malformedNumber);
    const ReceiveResult r = link.receive("u A12\rA  1.00\r\x03u  0012 \rA  1.00\r\x03u A12\rA  2.00\r\x03"
                                         "u 202612060012\rA  3.00\r\x03", kDay);
    EXPECT_EQ(r.malformed, (QStringList{"A12", "A12", "202612060012"}));
    EXPECT_EQ(listed.count(), 3);
    EXPECT_EQ(value("A12", 1), "2.00");
    EXPECT_EQ(value("0012", 1), "1.00");
    EXPECT_EQ(value("202612060012", 1), "3.00");
}

TEST_F(Store, CatalogueGapsDoNotStopARecord)
{
    // A missing factor keeps the raw text; a missing decimals count means none.
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET hsyz = NULL WHERE itemid = 1")));
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET bitnum = NULL WHERE itemid = 2")));
    ASSERT_TRUE(db::exec(QStringLiteral("UPDATE itemtb SET bitnum = 9 WHERE itemid = 3")));
    LinkReceiver link;
    const ReceiveResult r = link.receive("u 8\rA 12.34\rB  2.50\rC 12345\rD 9E+99\rX q\r\x03", kDay);
    EXPECT_EQ(r.stored, QStringList{"8"});
    EXPECT_EQ(value("8", 1), "12.34");
    EXPECT_EQ(value("8", 2), "2");
    EXPECT_EQ(value("8", 3), "12345"); // 12345.000000000 would not fit
    EXPECT_EQ(value("8", 4), "9E+99");
    EXPECT_EQ(graphRow("8")[1].toString(), "q");
}

TEST_F(Store, ARefusedRecordLeavesNothingAndTheNextOnesAreStored)
{
    // The database refuses the graph row of sample 66, after its results.
    ASSERT_TRUE(db::exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON gresult WHEN NEW.shelfid = '66' "
        "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
    LinkReceiver link;
    QSignalSpy status(&link, &LinkReceiver::statusChanged);
    const ReceiveResult r = link.receive("u 65\rA  1.00\r\x03u 66\rA  1.00\r\x03u 67\rA  1.00\r\x03", kDay);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.stored, (QStringList{"65", "67"}));
    ASSERT_TRUE(r.status);
    EXPECT_EQ(r.status->heading, QStringLiteral("错误:"));
    EXPECT_TRUE(r.status->message.contains("database or disk is full") && r.status->message.contains("66"))
        << qPrintable(r.status->message);
    EXPECT_EQ(status.count(), 1);
    EXPECT_EQ(value("66", 1), "<none>");
    EXPECT_EQ(value("67", 1), "1.00");
    link.receive("u 68\rA  1.00\r\x03", kDay);
    EXPECT_EQ(value("68", 1), "1.00");
}

TEST_F(Store, LampAndStatusFollowTheNotifications)
{
    LinkReceiver link;
    QSignalSpy lamp(&link, &LinkReceiver::lampChanged);
    QSignalSpy status(&link, &LinkReceiver::statusChanged);
    EXPECT_EQ(link.lamp(), QColor(128, 0, 0));
    EXPECT_EQ(link.receive("u 1\r", kDay).lamp, QColor(0, 255, 0));
    EXPECT_EQ(link.receive("A  1.00\r", kDay).lamp, QColor(0, 255, 0));
    EXPECT_EQ(link.receive("\x03", kDay).lamp, QColor(128, 0, 0));
    EXPECT_EQ(lamp.count(), 2);
    // Codes 1 and 2 leave lamp and status alone; others give their texts.
    EXPECT_FALSE(link.commEvent(1));
    EXPECT_EQ(status.count(), 0);
    EXPECT_EQ(link.commEvent(1004)->message, QStringLiteral("帧错误"));
    EXPECT_EQ(status.count(), 1);
    EXPECT_EQ(status[0][0].toString(), QStringLiteral("错误:"));
    EXPECT_EQ(lamp.count(), 2);
}

// A stream of simulator records (noise, faults, unterminated records) gives
// the same rows whole and cut into random chunks; every well-formed record
// that stands alone is stored exactly as sent.
TEST_F(Store, ChunkingNeverChangesWhatIsStored)
{
    QVector<sim::SimItem> simItems;
    ASSERT_TRUE(sim::loadSimItems(db::database(), &simItems));
    QVector<ItemDef> items;
    ASSERT_TRUE(loadItems(db::database(), &items));
    ASSERT_GT(simItems.size(), 10);

    for (quint64 seed = 1; seed <= 8; ++seed) {
        sim::GenOptions gopt;
        gopt.crlf = seed % 3 == 0;
        gopt.headerLine = seed % 2 == 0;
        sim::RecordGenerator gen(simItems, seed, gopt);
        sim::StreamOptions sopt;
        sopt.count = 300;
        sopt.noiseRate = 0.15;
        sopt.faultRate = 0.15;
        QByteArray stream;
        const auto records = sim::generateStream(gen, sopt, &stream);

        clearTables();
        LinkReceiver whole;
        const ReceiveResult all = whole.receive(stream, kDay);
        const QStringList expected = dump();

        // Independent check: a well-formed record not glued to an
        // unterminated one before it is stored as sent.
        int checked = 0;
        for (int i = 0; i < records.size(); ++i) {
            const auto &rec = records[i];
            if (rec.fault != sim::Fault::None || (i > 0 && records[i - 1].fault == sim::Fault::Unterminated))
                continue;
            const QVariantList g = graphRow(rec.sampleNumber);
            ASSERT_EQ(g.size(), 13) << "seed " << seed << " record " << i;
            for (int f = 0; f < 12; ++f)
                ASSERT_EQ(g[f].toString().toLatin1(), rec.graph[f]) << "seed " << seed << " record " << i;
            for (const ItemDef &it : items) {
                if (it.mark.isEmpty())
                    continue;
                const QByteArray sent = rec.values.value(it.mark);
                ASSERT_EQ(value(rec.sampleNumber, it.itemid), convertValue(sent, it))
                    << "seed " << seed << " record " << i;
            }
            ++checked;
        }
        EXPECT_GT(checked, 200);

        std::mt19937_64 rng(seed * 7919);
        for (int round = 0; round < 3; ++round) {
            clearTables();
            LinkReceiver cut;
            QStringList stored, malformed;
            const int maxChunk = round == 0 ? 3 : round == 1 ? 64 : 5000;
            for (const QByteArray &chunk : sim::cutIntoChunks(stream, rng, 1, maxChunk)) {
                const ReceiveResult r = cut.receive(chunk, kDay);
                stored += r.stored;
                malformed += r.malformed;
            }
            ASSERT_EQ(stored, all.stored) << "seed " << seed << " round " << round;
            ASSERT_EQ(malformed, all.malformed) << "seed " << seed << " round " << round;
            ASSERT_EQ(cut.buffer().text(), whole.buffer().text());
            ASSERT_EQ(dump(), expected) << "seed " << seed << " round " << round;
        }
    }
}
