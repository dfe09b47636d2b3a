// The number and text rules every subsystem relies on: the numeric test of
// results, the whole-number parser of typed numbers, the control-character
// trim, exact four-decimal arithmetic with ties rounded to even, typed dates.
#include "base/currency.h"
#include "base/dates.h"
#include "base/textutil.h"

#include <gtest/gtest.h>

TEST(Isnum, AcceptsDecimalNumbersOnly)
{
    for (const char *yes : {" 7.5", "+3", "5.", ".5", ".", "1E+02", "-.5e-3", "  0012"})
        EXPECT_TRUE(isnum(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"", " ", "-", "7.5 ", "1.2.3", "12.3H", "---.-", "1e+", "0x10", "1,5"})
        EXPECT_FALSE(isnum(QString::fromLatin1(no))) << no;
}

TEST(WholeNumber, DecimalAndHexFormsWithinThirtyTwoBits)
{
    const struct { const char *text; int value; } good[] = {
        {"+7", 7}, {"0012", 12}, {"0X1a", 26}, {"x10", 16}, {"-2147483648", -2147483647 - 1}, {"$FFFFFFFF", -1}};
    for (const auto &g : good) {
        const auto v = parseWholeNumber(QString::fromLatin1(g.text));
        ASSERT_TRUE(v.has_value()) << g.text;
        EXPECT_EQ(*v, g.value) << g.text;
    }
    for (const char *bad : {"", "1 ", "1.0", "$", "0x", "2147483648", "$100000000"})
        EXPECT_FALSE(parseWholeNumber(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(TrimCtl, StripsBlanksAndControlCharactersOnly)
{
    EXPECT_EQ(trimCtl(QStringLiteral("\x02 1 2\t\r\n\x03")), QStringLiteral("1 2"));
    // An ideographic space is text, not padding.
    EXPECT_EQ(trimCtl(QStringLiteral("\u3000x")), QStringLiteral("\u3000x"));
}

// Rounding of stored results is tried case by case through the value
// conversion of the analyser link; these are the rules it does not reach.
TEST(CurrencyValue, ExactTiesToEvenAndRefusedOverflow)
{
    auto c = [](const char *t) { return *Currency::fromText(QString::fromLatin1(t)); };
    EXPECT_EQ(c("12.00005").scaled(), 120000) << "parsing rounds half to even at four decimals";
    EXPECT_EQ(c("12.00015").scaled(), 120002);
    EXPECT_EQ(c("-0.00004").format(4), QStringLiteral("0.0000"));
    // HGB in g/dL times 10 is exact; no binary fraction creeps in.
    EXPECT_EQ(c("14.35").times(c("10"))->format(0), QStringLiteral("144"));
    EXPECT_EQ(c("0.3333").times(c("0.5"))->scaled(), 1666) << "0.16665 rounds to even";
    EXPECT_EQ(c("3.000").shortest() + c("-0.0001").shortest(), QStringLiteral("3-0.0001"));
    EXPECT_FALSE(Currency::fromText(QStringLiteral("99999999999999999999")).has_value());
    EXPECT_FALSE(c("900000000000000").times(c("100")).has_value()) << "overflow is refused, not wrapped";
    EXPECT_EQ(Currency::fromDouble(0.1 + 0.2)->scaled(), 3000);
}

TEST(Dates, TypedDatesAreReadAndWrittenAsIsoText)
{
    EXPECT_EQ(isoDate(parseUserDate(QStringLiteral("2026-1-5"))), QStringLiteral("2026-01-05"));
    EXPECT_EQ(isoDate(parseUserDate(QStringLiteral(" 2026/12/31 "))), QStringLiteral("2026-12-31"));
    EXPECT_FALSE(parseUserDate(QStringLiteral("2026-02-30")).isValid());
    EXPECT_FALSE(parseUserDate(QStringLiteral("31.12.2026")).isValid());
}
