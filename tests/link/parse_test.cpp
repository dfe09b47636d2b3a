// Record parsing, value conversion and the receive buffer: everything of the
// link that needs no database.
#include "link/linkreceiver.h"
#include "link/receivebuffer.h"
#include "link/resultrecord.h"

#include <gtest/gtest.h>

using namespace intake;

namespace {

Currency cur(const char *text) { return *Currency::fromText(QString::fromLatin1(text)); }

ItemDef item(int id, const char *mark, std::optional<Currency> hsyz = cur("1"), int bitnum = 1)
{
    return ItemDef{id, mark, hsyz, bitnum};
}

} // namespace

TEST(ValueConversion, ScaledRoundedHalfToEvenOrKeptRaw)
{
    const struct { const char *raw, *hsyz; int bitnum; const char *stored; } cases[] = {
        {"12.34", "10", 0, "123"}, {"  7.5", "1", 2, "7.50"}, {"0.125", "1", 2, "0.12"},
        {"0.135", "1", 2, "0.14"}, {"-1.25", "1", 1, "-1.2"}, {"1E+02", "1", 1, "100.0"}, {"    7", "0.5", 0, "4"},
        // Rounded to four decimals before the item's decimals: a tie at the
        // fourth goes to 0.0000; an exponent below four decimals is exact.
        {"5E-05", "1", 4, "0.0000"}, {"1E-05", "1000", 2, "0.01"},
        // Not a storable number: the raw text (trailing blanks included).
        {"12.3H", "1", 1, "12.3H"}, {"7.5  ", "1", 1, "7.5  "},
        // Too large for the currency type, or longer than the value column.
        {"9E+14", "10", 0, "9E+14"}, {"99999", "1", 8, "99999"}, {"99999", "1", 6, "99999.000000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(convertValue(c.raw, item(1, "A", cur(c.hsyz), c.bitnum)), c.stored) << c.raw << " * " << c.hsyz;
}

TEST(SampleNumber, TrimmedAndClassifiedOrNoRecordAtAll)
{
    const struct { const char *line, *parsed; } cases[] = {
        {"u  0012 \r\n", "0012"}, {"u -5\r\n", "-5"}, {"u $1a\r\n", "$1a"},
        {"u A12\r\n", "A12 listed"}, {"u 12 3\r\n", "12 3 listed"}, {"u 2147483648\r\n", "2147483648 listed"},
        {"u 00000000012\r\n", "00000000012 listed"}, // 11 characters: does not fit
        // Nothing is stored without a usable number line.
        {"A 1.234\r\n", "<no record>"}, {"u  \x02 \r\n", "<no record>"},
        {"A 1.234\r\nu 12", "<no record>"}, // no CR before the end
        {"u\t12\r\n", "<no record>"},      // the blank belongs to the key
    };
    for (const auto &c : cases) {
        const auto r = parseRecord(QByteArray("@ x\r\n") + c.line, {item(1, "A")});
        EXPECT_EQ(r ? r->shelfid + (r->malformed ? " listed" : "") : "<no record>", c.parsed) << c.line;
    }
}

TEST(RecordLines, EmptyShortAndMissingValueLines)
{
    const QVector<ItemDef> items{item(1, "A", cur("1"), 2), item(2, "B"), item(3, "C"), item(4, "D"),
                                 item(5, "E"), item(6, "", cur("1"), 1), item(7, "F", cur("1"), 2)};
    const auto r = parseRecord(QByteArray("A 7.5\r\n"     // the first line is found like any other;
                                          "u 1\r\n"       // short: up to the line end, then a number
                                          "B 12\r\n"
                                          "C \r\n"        // empty value: skipped
                                          "D\r\n"         // no separator either: skipped
                                          "a 1 2\r\n"     // lower case: the a11 line, not item A
                                          "E x\r\n"
                                          "F 3.1"),       // last line of the record, no CR
                               items);
    ASSERT_TRUE(r);
    QStringList values; // item 6 has no mark
    for (const ItemValue &v : r->values)
        values << QStringLiteral("%1=%2").arg(v.itemid).arg(v.value);
    EXPECT_EQ(values.join(' '), "1=7.50 2=12.0 5=x 7=3.10");
    // A value runs five characters at most.
    EXPECT_EQ(parseRecord(QByteArray("u 1\r\nA 1.2345678\r\n"), items)->values.value(0).value, "1.23");
}

// Text that repeats a sample-number, item or graph line is not one record's:
// it is never stored, and the numbers it holds are named.
TEST(RecordLines, RepeatedLinesMakeTheTextAmbiguous)
{
    const QVector<ItemDef> items{item(1, "A"), item(2, "B"), item(3, "u")};
    const struct { const char *text; bool ambiguous; QStringList numbers; } cases[] = {
        // A lost 0x03 and stray lines before records are met through the
        // receiver in the link's window and stream tests.
        {"u 1\r\nX a\r\nX b\r\n", true, {"1"}},
        {"A\r\nu 1\r\nA 5.00\r\n", true, {"1"}},                   // an empty line counts too
        {"u  \r\nu 3\r\n", true, {"3"}},
        // Different marks: one record.
        {"u 1\r\nA 1.00\r\nB 2.00\r\na 1 2\r\nW 1\r\nXA\r\n", false, {"1"}},
        {"u 1\r\nA 1\nA 2\r\n", false, {"1"}},                       // a lone LF ends no line
    };
    for (const auto &c : cases) {
        const auto r = parseRecord(c.text, items);
        ASSERT_TRUE(r) << c.text;
        EXPECT_EQ(r->numbers, c.numbers) << c.text;
        // Ambiguous text yields no values at all.
        EXPECT_EQ(r->ambiguous, c.ambiguous) << c.text;
        EXPECT_EQ(r->values.isEmpty() && r->graph.isEmpty(), c.ambiguous) << c.text;
    }
}

// Received text is told apart by whether it holds a line a record is made
// of; the start and end bytes begin lines as line ends do.
TEST(RecordLines, CountedInReceivedTextWithTheNumbersThatCanBeNamed)
{
    const QVector<ItemDef> items{item(1, "A"), item(2, "M")};
    const struct { const char *text; int lines; const char *named; } cases[] = {
        {"\x11\xfe@ 5DIFF\r\n\x7f", 0, ""},
        {"u 311\rA  5.20\r", 2, "311"},
        {"\x03M 150\r\x02X !!\ra 1 2", 3, ""},              // after 0x03, 0x02 and a CR
        {"xu 1\rBu 2\r", 0, ""},                              // marks inside a line count for nothing
        {"u $Wv_5p=\\gauuQiS&@e|}:2Fh_\ru 8\n", 2, "8"},       // noise too long to be a number
        {"u 1\ru 2\ru 3\ru 2\ru 4\ru 5\r", 6, "1、2、3等5个"},
    };
    for (const auto &c : cases) {
        QStringList numbers;
        EXPECT_EQ(countRecordLines(c.text, items, &numbers), c.lines) << c.text;
        EXPECT_EQ(noticeNumbers(numbers), QString::fromUtf8(c.named)) << c.text;
    }
}

TEST(ReceiveBuffer, ALoneCarriageReturnEndsALineAndALoneLineFeedDoesNot)
{
    EXPECT_EQ(normalizeLineEnds("\r@ h\ru 12\r\nA 1.00\r\rB\n2\r\x03u 13\r"),
              QByteArray("\r\n@ h\r\nu 12\r\nA 1.00\r\n\r\nB\n2\r\n\x03u 13\r\n"));
}

// One chunk (the window's thread was held up) that ends a record and goes
// on with endless noise: the record comes whole, the noise is bounded.
TEST(ReceiveBuffer, ARecordFollowedByEndlessNoiseInOneChunk)
{
    ReceiveBuffer b;
    const QByteArray noise = QByteArray(4000, 'x') + '\r';
    EXPECT_TRUE(b.append("u 13\rA 6.00\r\x03" + noise.repeated(400)));
    const auto rec = b.takeRecord();
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->text, QByteArray("u 13\r\nA 6.00\r\n"));
    EXPECT_LE(b.raw().size(), ReceiveBuffer::kMaxPending);
    EXPECT_TRUE(b.raw().endsWith(noise));
}
