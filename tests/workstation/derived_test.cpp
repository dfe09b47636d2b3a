// Derived items and the linear correction without windows: the formula
// language, the recomputation of one sample's derived items, and the
// correction of one item over a range of samples in one transaction.
#include "common/testdb.h"

#include "base/session.h"
#include "workstation/fieldcacl.h"
#include "workstation/formula.h"
#include "workstation/linearcorrection.h"
#include "wsdb.h"

#include <QMap>

using derived::FormulaOutcome;
using namespace wst;

namespace {

using Values = QMap<int, QVariant>;

// A formula evaluated over a fixed set of results.
FormulaOutcome eval(const Values &values, const char *formula)
{
    return derived::evaluateFormula(QString::fromUtf8(formula),
                                    [&](int id) { return derived::Operand{values.contains(id), values.value(id)}; });
}

} // namespace

TEST(Formula, ArithmeticPrecedenceExactDivisionAndRounding)
{
    const Values s{{1, "7"}, {2, "2"}, {3, "3"}, {4, "-3"}, {5, "1.5"}, {6, "-1"}, {12, "0.0001"}, {13, "0.0003"},
                   {14, "0.00015"}, {15, "0.00025"}};
    const struct { const char *formula, *expected; int decimals = -1; /* -1: shortest text */ } cases[] = {
        // Never integer division; * before +; left to right; 7 - (-3): the value is one operand.
        {"(1)/(2)", "3.5"}, {"(1)+(2)*(3)", "13"}, {"(1)-(2)-(3)", "2"}, {"(1)-(4)", "10"},
        // (-3)^2, not -(3^2); ^ binds tighter than the sign and is left-associative.
        {"(4)^2", "9"}, {"-2^2", "-4"}, {"2^-1", "0.5"}, {"2^3^2", "64"}, {"(5)*2+1", "4"},
        // Blanks inside a reference; a value of -1 is a value, not "missing".
        {"( 3 )*(3)", "9"}, {"(6)", "-1"}, {"1.1*3", "3.3"}, {"2/3", "0.6667"}, {"1e2/8", "12.5"}, {"5.+.5", "5.5"},
        // Four decimals, ties to even; operands are taken to four decimals first.
        {"(12)/(2)", "0"}, {"(13)/(2)", "0.0002"}, {"(14)*10000", "2"}, {"(15)*10000", "2"},
        // The item's decimals round the four-decimal value, ties to even.
        {"2.125+0", "2.12", 2}, {"2.135+0", "2.14", 2}, {"(2)/3", "1", 0},
    };
    for (const auto &c : cases) {
        const FormulaOutcome o = eval(s, c.formula);
        ASSERT_EQ(o.status, FormulaOutcome::Ok) << c.formula << ": " << o.error.toStdString();
        EXPECT_EQ(c.decimals < 0 ? o.value.shortest() : o.value.format(c.decimals), QLatin1String(c.expected))
            << c.formula;
    }
}

TEST(Formula, MissingOperandsAndFailures)
{
    const Values s{{1, "5"}, {2, "0"}, {3, "H"}, {4, QVariant()}, {5, ""}, {6, " 4"}, {7, "5 "}};
    EXPECT_EQ(eval(s, "(6)+1").value.shortest(), "5"); // leading blanks are a number
    // Missing wins over a later operand that is no number.
    EXPECT_EQ(eval(s, "(9)+(3)").status, FormulaOutcome::MissingOperand);

    for (const char *bad : {"(1)/(2)", "(2)/(2)", "(1)+(3)", "(4)*1", "(5)*1", "(a)+1", "((1)+(2))*2", "()+1",
                            "(1)+", "(1) 2", "(1)*x", "1)+(1", "2^(1)^(1)^(1)^(1)*1e300", "."}) {
        const FormulaOutcome o = eval(s, bad);
        EXPECT_TRUE(o.status == FormulaOutcome::Error && !o.error.isEmpty()) << bad;
    }
    EXPECT_EQ(eval(s, "(1)/(2)").error, QStringLiteral("除数为零"));
    EXPECT_TRUE(eval(s, "(1)+(3)").error.contains("H"));
    // A formula error quotes the references as they are written.
    EXPECT_EQ(eval(s, "(1)( 2)").error, QStringLiteral("公式有误：无法识别“( 2)”"));
    EXPECT_EQ(eval(s, "(1)*x(6)").error, QStringLiteral("公式有误：无法识别“x(6)”"));
    // Blanks after a number make it no number, as everywhere in the program;
    // the message says where the blank is.
    EXPECT_EQ(eval(s, "(7)+1").error, QStringLiteral("指标 7 的结果“5 ”不是数字（数字后面有空格）"));
}

// ---------------------------------------------------------------------------

namespace {

void addItem(int itemid, const QString &formula, int bitnum)
{
    run("delete from itemtb where itemid=?", {itemid});
    run("insert into itemtb (itemid, abbreviation, name, bitnum, expressions) values (?, ?, ?, ?, ?)",
        {itemid, QStringLiteral("D%1").arg(itemid), QStringLiteral("派生%1").arg(itemid), bitnum, formula});
}

class DerivedItems : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testdb::fresh();
        session::setWorkdate(QDate(2026, 12, 6));
    }
    // Recomputes after a change of `itemid`; the error text, empty on success.
    QString recompute(const QString &id, int itemid, const QString &day = kDay)
    {
        QString error;
        const bool ok = fieldcount.calcexpression(id, day, itemid, stored(id, {itemid}), &error);
        return ok ? QString() : error.isEmpty() ? QStringLiteral("<failed>") : error;
    }
    Tfrmfieldcount fieldcount;
};

} // namespace

// Catalogue: 23 NLR "(2)/(3)" two decimals, 24 PLR "(19)/(3)" one decimal.
TEST_F(DerivedItems, RecomputesTheReferringItemsOfOneSampleOnly)
{
    addItem(30, "(1)*2", 0);
    addItem(31, "(11)*2", 0);
    addItem(32, "(30)+1", 0); // derived from a derived item
    const QString day = QStringLiteral("2026-12-01");
    for (const QString id : {"5", "6", "1'2"})
        addResults(id, {{1, "2.4"}, {2, "7"}, {3, "2"}, {11, "4"}, {19, "201"}}, day);
    addResult("5", 23, "9.99", day);
    // The same number of another day is another sample.
    addResults("5", {{2, "70"}, {3, "7"}}, kDay);

    // NLR updated in place with two decimals, PLR (one decimal) created
    // under the sample's own day, other samples untouched.
    EXPECT_EQ(recompute("5", 2, day) + recompute("5", 3, day) + recompute("5", 2), "");
    EXPECT_EQ(rows("select itemid, value, checkdate from testresult where shelfid='5' and itemid > 20 order by checkdate, itemid"),
              (Rows{{23, "3.50", day}, {24, "100.5", day}, {23, "10.00", kDay}}));

    // (1) is not (11); no decimals means no point; no cascade to item 32.
    EXPECT_EQ(recompute("1'2", 1, day), "");
    EXPECT_EQ(stored("1'2", {30, 31, 32}), "5/<none>/<none>"); // 4.8 -> 5

    // A missing operand keeps the old value and creates none.
    run("delete from testresult where itemid=3 and shelfid in ('5', '6')");
    EXPECT_EQ(recompute("5", 2, day) + recompute("6", 2, day), "");
    EXPECT_EQ(stored("5", {23}) + '/' + stored("6", {23}), "3.50|10.00/<none>");
}

TEST_F(DerivedItems, FailureStopsTheRunAndKeepsWhatWasWritten)
{
    addItem(30, "(1)*2", 1);
    addItem(31, "(1)+(5)", 1);     // item 5 holds a flag text
    addItem(32, "(1)*3", 1);       // after the failing one: not reached
    addResults("5", {{1, "1.25"}, {5, "H"}});
    EXPECT_TRUE(recompute("5", 1).contains("H"));
    EXPECT_EQ(stored("5", {30, 32}), "2.5/<none>");

    // A value too long for the column (14 characters) is refused, not cut.
    run("update testresult set value='0' where itemid=5");
    addItem(33, "(1)*100000000", 4);
    EXPECT_NE(recompute("5", 1), "");
    EXPECT_EQ(stored("5", {33}), "<none>");

    // A mistyped formula is named as the user wrote it.
    run("delete from itemtb where itemid=33");
    addItem(34, "(1)(1)", 1);
    EXPECT_TRUE(recompute("5", 1).endsWith(QStringLiteral("公式有误：无法识别“(1)”")));
}

// ---------------------------------------------------------------------------

TEST(LinearCorrection, RangeAndArithmetic)
{
    // The list is in numeric order; text order would put "100" before "8".
    // Bounds compare as upper-case text ("08" is not "8"); the window tries
    // trimmed and reversed bounds.
    const QStringList list{"8", "9", "10", "100", "B7"};
    using R = std::optional<std::pair<int, int>>;
    const struct { const char *from, *to; R range; } ranges[] = {
        {"8", "10", R({0, 2})}, {"b7", "100", R({3, 4})}, {"08", "10", std::nullopt}, {"8", "11", std::nullopt}};
    for (const auto &c : ranges)
        EXPECT_EQ(ws::correctionRange(list, c.from, c.to), c.range) << c.from << ".." << c.to;
    EXPECT_EQ(ws::correctionRange({}, "8", "8"), std::nullopt);

    const struct { const char *x, *a, *b, *y; } cases[] = {
        {"3", "1.1", "0", "3.3"}, {"12.50", "1", "0", "12.5"}, {"10", "0.5", "-5", "0"},
        {" 4", "-1", "+.5", "-3.5"}, {".", "2", "1", "1"}, {"1.23456", "1", "0", "1.2346"},
        {"0.00005", "1", "0", "0"}, {"0.00015", "1", "0", "0.0002"}, // ties to even
        {"2", "1e400", "0", "<none>"},
    };
    for (const auto &c : cases) {
        const auto v = ws::linearValue(c.x, c.a, c.b);
        EXPECT_EQ(v ? v->shortest() : QStringLiteral("<none>"), QLatin1String(c.y)) << c.x << "*" << c.a << "+" << c.b;
    }
}
