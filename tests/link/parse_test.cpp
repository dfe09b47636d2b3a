// Record parsing, value conversion, the receive buffer and the status texts:
// everything of the link that needs no database.
#include "link/linkreceiver.h"
#include "link/receivebuffer.h"
#include "link/resultrecord.h"

#include <gtest/gtest.h>

using namespace intake;

namespace {

ItemDef item(int id, const char *mark, std::optional<Currency> hsyz = Currency::fromInt(1), int bitnum = 1)
{
    ItemDef d;
    d.itemid = id;
    d.mark = mark;
    d.hsyz = hsyz;
    d.bitnum = bitnum;
    return d;
}

Currency cur(const char *text)
{
    return *Currency::fromText(QString::fromLatin1(text));
}

QString conv(const char *raw, const char *hsyz, int bitnum)
{
    return convertValue(QByteArray(raw), item(1, "A", cur(hsyz), bitnum));
}

// Record text as the buffer holds it: CR LF line ends.
QByteArray rec(const char *text)
{
    return QByteArray(text);
}

QString valueOf(const ParsedRecord &r, int itemid)
{
    for (const ItemValue &v : r.values)
        if (v.itemid == itemid)
            return v.value;
    return QStringLiteral("<none>");
}

} // namespace

TEST(ValueConversion, NumbersAreScaledAndRoundedHalfToEven)
{
    EXPECT_EQ(conv("12.34", "1", 1), "12.3");
    EXPECT_EQ(conv("12.34", "10", 0), "123");
    EXPECT_EQ(conv("  7.5", "1", 2), "7.50");
    EXPECT_EQ(conv("0.125", "1", 2), "0.12");
    EXPECT_EQ(conv("0.135", "1", 2), "0.14");
    EXPECT_EQ(conv("12.25", "1", 1), "12.2");
    EXPECT_EQ(conv("-1.25", "1", 1), "-1.2");
    EXPECT_EQ(conv("1E+02", "1", 1), "100.0");
    EXPECT_EQ(conv("   .5", "1", 0), "0");
    EXPECT_EQ(conv("    5", "0.5", 0), "2");   // 2.5 to even
    EXPECT_EQ(conv("    7", "0.5", 0), "4");   // 3.5 to even
    // The product is rounded to four decimals before the item's decimals:
    // 0.00005 * 1 is exactly a tie at the fourth decimal and goes to 0.0000.
    EXPECT_EQ(conv("5E-05", "1", 4), "0.0000");
    // An exponent below four decimals is multiplied exactly, not pre-rounded.
    EXPECT_EQ(conv("1E-05", "1000", 2), "0.01");
}

TEST(ValueConversion, TextThatIsNotAStorableNumberStaysRaw)
{
    EXPECT_EQ(conv("---.-", "1", 1), "---.-");
    EXPECT_EQ(conv("12.3H", "1", 1), "12.3H");
    EXPECT_EQ(conv("7.5  ", "1", 1), "7.5  ");  // trailing blanks: not a number
    EXPECT_EQ(conv("  *.*", "1", 1), "  *.*");
    // Too large for the currency type, or longer than the value column.
    EXPECT_EQ(conv("9E+99", "1", 1), "9E+99");
    EXPECT_EQ(conv("9E+14", "10", 0), "9E+14");
    EXPECT_EQ(conv("99999", "1", 8), "99999");   // 99999.00000000 is 14 characters
    EXPECT_EQ(conv("99999", "1", 6), "99999.000000");
    // No factor: the raw text.
    EXPECT_EQ(convertValue("12.34", item(1, "A", std::nullopt, 1)), "12.34");
}

TEST(SampleNumber, EmptyBlankOrUnendedNumbersStoreNothing)
{
    const QVector<ItemDef> items{item(1, "A")};
    EXPECT_FALSE(parseRecord(rec("@ x\r\nA 1.234\r\n"), items));          // no number line
    EXPECT_FALSE(parseRecord(rec("@ x\r\nu \r\nA 1.234\r\n"), items));     // empty
    EXPECT_FALSE(parseRecord(rec("@ x\r\nu  \x02 \r\nA 1.234\r\n"), items)); // blanks and controls
    EXPECT_FALSE(parseRecord(rec("@ x\r\nA 1.234\r\nu 12"), items));       // no CR before the end
    EXPECT_FALSE(parseRecord(rec("@ x\r\nU 12\r\n"), items));              // marks are case-sensitive
    EXPECT_FALSE(parseRecord(rec("@ x\r\nu\t12\r\n"), items));             // the blank belongs to the key
}

TEST(SampleNumber, TrimmedAndClassified)
{
    struct Case { const char *line; const char *stored; bool listed; };
    const Case cases[] = {
        {"u  0012 \r\n", "0012", false},
        {"u 12\r\n", "12", false},
        {"u -5\r\n", "-5", false},
        {"u 0x1A\r\n", "0x1A", false},
        {"u $1a\r\n", "$1a", false},
        {"u X1F\r\n", "X1F", false},
        {"u A12\r\n", "A12", true},
        {"u 1.5\r\n", "1.5", true},
        {"u 12 3\r\n", "12 3", true},
        {"u 2147483648\r\n", "2147483648", true},
        {"u 0x\r\n", "0x", true},
        {"u 00000000012\r\n", "00000000012", true}, // 11 characters: does not fit
        {"u 20261206000012\r\n", "20261206000012", true},
    };
    for (const Case &c : cases) {
        const auto r = parseRecord(QByteArray("@ x\r\n") + c.line, {});
        ASSERT_TRUE(r) << c.line;
        EXPECT_EQ(r->shelfid, QString::fromLatin1(c.stored)) << c.line;
        EXPECT_EQ(r->malformed, c.listed) << c.line;
    }
}

TEST(RecordLines, FirstLineOfARecordIsFoundLikeAnyOther)
{
    const QVector<ItemDef> items{item(1, "A"), item(2, "B")};
    const auto r = parseRecord(rec("u 7\r\nA  1.25\r\nB  2.00\r\n"), items);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->shelfid, "7");
    const auto r2 = parseRecord(rec("A  1.25\r\nu 8\r\n"), items);
    ASSERT_TRUE(r2);
    EXPECT_EQ(valueOf(*r2, 1), "1.2");
}

TEST(RecordLines, EmptyShortAndMissingValueLines)
{
    const QVector<ItemDef> items{item(1, "A", cur("1"), 2), item(2, "B"), item(3, "C"), item(4, "D"),
                                 item(5, "E"), item(6, "", cur("1"), 1), item(7, "F", cur("1"), 2)};
    const auto r = parseRecord(rec("u 1\r\n"
                                   "A 7.5\r\n"     // short: up to the line end, then a number
                                   "B 12\r\n"
                                   "C \r\n"        // empty value: skipped
                                   "D\r\n"         // no separator either: skipped
                                   "a 1 2\r\n"     // lower case: the a11 line, not item A
                                   "E x\r\n"
                                   "F 3.1"),       // last line of the record, no CR
                               items);
    ASSERT_TRUE(r);
    EXPECT_EQ(valueOf(*r, 1), "7.50");
    EXPECT_EQ(valueOf(*r, 2), "12.0");
    EXPECT_EQ(valueOf(*r, 3), "<none>");
    EXPECT_EQ(valueOf(*r, 4), "<none>");
    EXPECT_EQ(valueOf(*r, 5), "x");
    EXPECT_EQ(valueOf(*r, 6), "<none>");   // no mark: never received
    EXPECT_EQ(valueOf(*r, 7), "3.10");
    for (const ItemValue &v : r->values)
        EXPECT_FALSE(v.value.contains(QLatin1Char('\r')) || v.value.contains(QLatin1Char('\n')));
    // The first line with a mark counts; a value runs five characters at most.
    const auto r2 = parseRecord(rec("u 1\r\nA 1.2345678\r\nA 9.99\r\n"), items);
    EXPECT_EQ(valueOf(*r2, 1), "1.23");
}

TEST(RecordLines, GraphLinesAreKeptByteForByte)
{
    const QByteArray x = "!\"#$%&'()*+ ~";
    const auto r = parseRecord(rec("u 1\r\nX ") + x + "  \r\n^ 12 40\r\nb 1 2 3", {});
    ASSERT_TRUE(r);
    ASSERT_EQ(r->graph.size(), kGraphFields);
    EXPECT_EQ(r->graph[0], "");
    EXPECT_EQ(r->graph[1], QString::fromLatin1(x + "  "));
    EXPECT_EQ(r->graph[7], "12 40");
    EXPECT_EQ(r->graph[11], "1 2 3");
    EXPECT_EQ(r->graph[5], "");
    // A graph line needs its blank.
    const auto r2 = parseRecord(rec("u 1\r\nX\r\nY 5\r\n"), {});
    EXPECT_EQ(r2->graph[1], "");
    EXPECT_EQ(r2->graph[2], "5");
}

TEST(Substring, DataRunsToTheNextCrOrTheEnd)
{
    EXPECT_EQ(substring("\r\nX ", "\r\nX abc\r\nY d"), "abc");
    EXPECT_EQ(substring("\r\nY ", "\r\nX abc\r\nY d"), "d");
    EXPECT_EQ(substring("\r\nZ ", "\r\nX abc\r\n"), "");
    EXPECT_EQ(substring("\r\nX ", "\r\nX \r\n"), "");
}

TEST(ReceiveBuffer, LineEndsAreTheSameHoweverTheBytesAreCut)
{
    const QByteArray wire = "\r@ h\ru 12\r\nA 1.00\r\rB\n2\r\x03u 13\r";
    ReceiveBuffer whole;
    whole.append(wire);
    EXPECT_EQ(whole.text(), QByteArray("\r\n@ h\r\nu 12\r\nA 1.00\r\n\r\nB\n2\r\n\x03u 13\r\n"));
    for (int cut1 = 0; cut1 <= wire.size(); ++cut1) {
        for (int cut2 = cut1; cut2 <= wire.size(); ++cut2) {
            ReceiveBuffer b;
            b.append(wire.left(cut1));
            b.append(wire.mid(cut1, cut2 - cut1));
            b.append(wire.mid(cut2));
            ASSERT_EQ(b.text(), whole.text()) << cut1 << " " << cut2;
        }
    }
}

TEST(ReceiveBuffer, RecordsComeOutWholeAndInOrder)
{
    ReceiveBuffer b;
    EXPECT_FALSE(b.append("u 1\r"));
    EXPECT_FALSE(b.takeRecord());
    EXPECT_TRUE(b.append("\x03u 2\r\x03\x03u 3"));
    EXPECT_EQ(*b.takeRecord(), QByteArray("u 1\r\n"));
    EXPECT_EQ(*b.takeRecord(), QByteArray("u 2\r\n"));
    EXPECT_EQ(*b.takeRecord(), QByteArray());
    EXPECT_FALSE(b.takeRecord());
    EXPECT_EQ(b.text(), QByteArray("u 3"));
}

TEST(StatusTexts, EveryNotificationCode)
{
    const QString st = QStringLiteral("状态:");
    const QString er = QStringLiteral("错误:");
    const struct { int code; QString heading, message; } known[] = {
        {3, st, QStringLiteral("被检测的CTS改变")},
        {4, st, QStringLiteral("被检测的DSR改变")},
        {5, st, QStringLiteral("被检测的CD改变")},
        {6, st, QStringLiteral("电话铃响起")},
        {7, st, QStringLiteral("被检测的文件结尾")},
        {1001, er, QStringLiteral("收到中断")},
        {1003, er, QStringLiteral("DSR超时")},
        {1004, er, QStringLiteral("帧错误")},
        {1006, er, QStringLiteral("超限错误")},
        {1007, er, QStringLiteral("运输检测超时")},
        {1008, er, QStringLiteral("接收缓冲区溢出")},
        {1009, er, QStringLiteral("奇偶校验错")},
        {1010, er, QStringLiteral("传送缓冲区满")},
        {1011, er, QStringLiteral("检索DCB错误")},
    };
    for (const auto &k : known) {
        const auto s = statusForCode(k.code);
        ASSERT_TRUE(s) << k.code;
        EXPECT_EQ(s->heading, k.heading) << k.code;
        EXPECT_EQ(s->message, k.message) << k.code;
    }
    for (int code : {1002, 1005, 0, 8, 1000, 1012, -1, -32768, 32767}) {
        const auto s = statusForCode(code);
        ASSERT_TRUE(s) << code;
        EXPECT_EQ(*s, (StatusText{er, QStringLiteral("未知错误")})) << code;
    }
    EXPECT_FALSE(statusForCode(1));
    EXPECT_FALSE(statusForCode(2));
}
