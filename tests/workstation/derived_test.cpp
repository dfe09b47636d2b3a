// Derived items and the linear correction without windows: the formula
// language, the recomputation of one sample's derived items, and the
// correction of one item over a range of samples in one transaction.
#include "common/testdb.h"

#include "app/session.h"
#include "platform/db/command.h"
#include "workstation/fieldcacl.h"
#include "workstation/formula.h"
#include "workstation/linearcorrection.h"

#include <QMap>

#include <gtest/gtest.h>

using derived::FormulaOutcome;

namespace {

// Evaluates a formula over a fixed set of results; counts the look-ups.
struct Sample
{
    QMap<int, QVariant> values;
    int lookups = 0;

    FormulaOutcome eval(const QString &formula)
    {
        return derived::evaluateFormula(formula, [this](int id) {
            ++lookups;
            derived::Operand op;
            op.found = values.contains(id);
            op.value = values.value(id);
            return op;
        });
    }
};

QString okText(const FormulaOutcome &o)
{
    if (o.status != FormulaOutcome::Ok)
        return QStringLiteral("<status %1: %2>").arg(o.status).arg(o.error);
    return o.value.shortest();
}

} // namespace

TEST(Formula, ArithmeticPrecedenceAndExactDivision)
{
    Sample s;
    s.values = {{1, "7"}, {2, "2"}, {3, "3"}, {4, "-3"}, {5, "1.5"}, {6, "-1"}, {11, "100"}};
    const struct
    {
        const char *formula;
        const char *expected;
    } cases[] = {
        {"(1)/(2)", "3.5"},           // never integer division
        {"(1)+(2)*(3)", "13"},        // * before +
        {"(1)-(2)-(3)", "2"},         // left to right
        {"(1)/(2)/(2)", "1.75"},
        {"(1)-(4)", "10"},            // 7 - (-3): the value is one operand
        {"(4)^2", "9"},               // (-3)^2, not -(3^2)
        {"-2^2", "-4"},               // ^ binds tighter than the sign
        {"2^-1", "0.5"},
        {"2^3^2", "64"},              // left-associative
        {"(5)*2+1", "4"},
        {"( 3 )*(3)", "9"},           // blanks inside a reference
        {" (11) - 1 ", "99"},
        {"(6)", "-1"},                // a value of -1 is a value, not "missing"
        {"-1", "-1"},
        {"1.1*3", "3.3"},             // binary noise gone before rounding
        {"2/3", "0.6667"},
        {"1e2/8", "12.5"},
        {"5.+.5", "5.5"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(okText(s.eval(QString::fromUtf8(c.formula))), QLatin1String(c.expected)) << c.formula;
}

TEST(Formula, RoundingToFourDecimalsTiesToEven)
{
    Sample s;
    s.values = {{1, "0.0001"}, {2, "0.0003"}, {3, "0.00015"}, {4, "0.00025"}, {5, "2"}};
    EXPECT_EQ(okText(s.eval("(1)/(5)")), "0");        // 0.00005 -> even 0.0000
    EXPECT_EQ(okText(s.eval("(2)/(5)")), "0.0002");   // 0.00015 -> even 0.0002
    // Operands are taken to four decimals first, ties to even as well.
    EXPECT_EQ(okText(s.eval("(3)*10000")), "2");
    EXPECT_EQ(okText(s.eval("(4)*10000")), "2");
    // The item's decimals round the four-decimal value, ties to even.
    Currency v = s.eval("2.125+0").value;
    EXPECT_EQ(v.format(2), "2.12");
    v = s.eval("2.135+0").value;
    EXPECT_EQ(v.format(2), "2.14");
    EXPECT_EQ(s.eval("(5)/3").value.format(0), "1");
}

TEST(Formula, MissingOperandsFailuresAndLookups)
{
    Sample s;
    s.values = {{1, "5"}, {2, "0"}, {3, "H"}, {4, QVariant()}, {5, ""}, {6, " 4"}};

    // The same reference twice is looked up once.
    EXPECT_EQ(okText(s.eval("(1)*(1)+(1)")), "30");
    EXPECT_EQ(s.lookups, 1);

    EXPECT_EQ(s.eval("(1)+(9)").status, FormulaOutcome::MissingOperand);
    // Missing is found before a later operand is even read.
    s.lookups = 0;
    EXPECT_EQ(s.eval("(9)+(3)").status, FormulaOutcome::MissingOperand);
    EXPECT_EQ(s.lookups, 1);
    EXPECT_EQ(okText(s.eval("(6)+1")), "5"); // leading blanks are a number

    for (const char *bad : {"(1)/(2)", "(2)/(2)", "(1)+(3)", "(4)*1", "(5)*1", "(a)+1", "((1)+(2))*2", "()+1",
                            "(1)+", "(1) 2", "(1)*x", "1)+(1", "2^(1)^(1)^(1)^(1)*1e300", "."}) {
        const FormulaOutcome o = s.eval(QString::fromLatin1(bad));
        EXPECT_EQ(o.status, FormulaOutcome::Error) << bad;
        EXPECT_FALSE(o.error.isEmpty()) << bad;
    }
    EXPECT_EQ(s.eval("(1)/(2)").error, QStringLiteral("除数为零"));
    EXPECT_TRUE(s.eval("(1)+(3)").error.contains("H"));
}

// ---------------------------------------------------------------------------

namespace {

void exec(const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(sql, params, &err)) << err.toStdString() << " in " << sql.toStdString();
}

void addResult(const QString &id, int itemid, const QVariant &value, const QString &date = "2026-12-01")
{
    exec("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)", {id, date, itemid, value});
}

void addItem(int itemid, const QString &formula, int bitnum)
{
    exec("insert into itemtb (itemid, abbreviation, name, bitnum, expressions) values (?, ?, ?, ?, ?)",
         {itemid, QStringLiteral("D%1").arg(itemid), QStringLiteral("派生%1").arg(itemid), bitnum, formula});
}

// The stored value, or "<none>" when the sample has no row for the item.
QString stored(const QString &id, int itemid)
{
    QVector<QVariantList> rows;
    EXPECT_TRUE(db::select("select value from testresult where shelfid=? and itemid=?", {id, itemid}, &rows));
    if (rows.isEmpty())
        return "<none>";
    EXPECT_EQ(rows.size(), 1) << "duplicate rows for " << id.toStdString() << "/" << itemid;
    return rows[0].value(0).toString();
}

QString checkdate(const QString &id, int itemid)
{
    return db::scalar("select checkdate from testresult where shelfid=? and itemid=?", {id, itemid}).toString();
}

class DerivedItems : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testdb::fresh();
        session::setWorkdate(QDate(2026, 12, 6));
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
    for (const QString id : {"5", "6", "1'2"}) {
        addResult(id, 1, "2.4");
        addResult(id, 2, "7");
        addResult(id, 3, "2");
        addResult(id, 11, "4");
        addResult(id, 19, "201");
    }
    addResult("5", 23, "9.99");

    QString error;
    ASSERT_TRUE(fieldcount.calcexpression("5", 2, "7", &error)) << error.toStdString();
    EXPECT_EQ(stored("5", 23), "3.50");          // updated in place, two decimals
    EXPECT_EQ(checkdate("5", 23), "2026-12-01"); // an update keeps its date
    EXPECT_EQ(stored("5", 24), "<none>");        // PLR does not refer to item 2
    EXPECT_EQ(stored("6", 23), "<none>");        // other samples untouched
    EXPECT_EQ(fieldcount.lastWritten(), 1);

    ASSERT_TRUE(fieldcount.calcexpression("5", 3, "2", &error)) << error.toStdString();
    EXPECT_EQ(stored("5", 24), "100.5");          // 100.5, one decimal, created
    EXPECT_EQ(checkdate("5", 24), "2026-12-06");  // a new row takes the work date

    // (1) is not (11); no decimals means no point; no cascade to item 32.
    ASSERT_TRUE(fieldcount.calcexpression("1'2", 1, "2.4", &error)) << error.toStdString();
    EXPECT_EQ(stored("1'2", 30), "5"); // 4.8 -> 5
    EXPECT_EQ(stored("1'2", 31), "<none>");
    EXPECT_EQ(stored("1'2", 32), "<none>");
    ASSERT_TRUE(fieldcount.calcexpression("1'2", 11, "4", &error));
    EXPECT_EQ(stored("1'2", 31), "8");
    EXPECT_EQ(stored("5", 31), "<none>");
}

TEST_F(DerivedItems, MissingOperandKeepsTheOldValue)
{
    addResult("7", 2, "7");      // no item 3 in this sample
    addResult("7", 23, "1.11");
    addResult("8", 2, "7");
    QString error;
    ASSERT_TRUE(fieldcount.calcexpression("7", 2, "7", &error)) << error.toStdString();
    ASSERT_TRUE(fieldcount.calcexpression("8", 2, "7", &error)) << error.toStdString();
    EXPECT_EQ(stored("7", 23), "1.11");
    EXPECT_EQ(stored("8", 23), "<none>");
    EXPECT_EQ(fieldcount.lastWritten(), 0);
}

TEST_F(DerivedItems, FailureStopsTheRunAndKeepsWhatWasWritten)
{
    addItem(30, "(1)*2", 1);
    addItem(31, "(1)+(5)", 1);     // item 5 holds a flag text
    addItem(32, "(1)*3", 1);       // after the failing one: not reached
    addItem(33, "(1)*100000000", 4); // 14 characters: too long for the column
    addResult("5", 1, "1.25");
    addResult("5", 5, "H");

    QString error;
    EXPECT_FALSE(fieldcount.calcexpression("5", 1, "1.25", &error));
    EXPECT_TRUE(error.contains("H")) << error.toStdString();
    EXPECT_EQ(stored("5", 30), "2.5");
    EXPECT_EQ(stored("5", 32), "<none>");

    exec("update testresult set value='0' where itemid=5");
    exec("delete from itemtb where itemid=33");
    addItem(33, "(1)/(5)", 1); // zero divisor
    EXPECT_FALSE(fieldcount.calcexpression("5", 1, "1.25", &error));
    EXPECT_EQ(error.contains(QStringLiteral("除数为零")), true) << error.toStdString();
    EXPECT_EQ(stored("5", 33), "<none>");

    exec("delete from itemtb where itemid=33");
    addItem(33, "(1)*100000000", 4);
    EXPECT_FALSE(fieldcount.calcexpression("5", 1, "1.25", &error));
    EXPECT_EQ(stored("5", 33), "<none>");
}

// ---------------------------------------------------------------------------

TEST(LinearCorrection, RangeAndArithmetic)
{
    // The list is in numeric order; text order would put "100" before "8".
    const QStringList list{"8", "9", "10", "100", "B7"};
    EXPECT_EQ(ws::correctionRange(list, "8", "10"), std::make_pair(0, 2));
    EXPECT_EQ(ws::correctionRange(list, "10", "8"), std::make_pair(0, 2));
    EXPECT_EQ(ws::correctionRange(list, " 9 ", "9"), std::make_pair(1, 1));
    EXPECT_EQ(ws::correctionRange(list, "b7", "100"), std::make_pair(3, 4));
    EXPECT_EQ(ws::correctionRange(list, "08", "10"), std::nullopt); // text, not value
    EXPECT_EQ(ws::correctionRange(list, "8", "11"), std::nullopt);
    EXPECT_EQ(ws::correctionRange({}, "8", "8"), std::nullopt);

    auto y = [](const char *x, const char *a, const char *b) {
        const auto v = ws::linearValue(x, a, b);
        return v ? v->shortest() : QStringLiteral("<none>");
    };
    EXPECT_EQ(y("3", "1.1", "0"), "3.3");
    EXPECT_EQ(y("12.50", "1", "0"), "12.5");
    EXPECT_EQ(y("10", "0.5", "-5"), "0");
    EXPECT_EQ(y(" 4", "-1", "+.5"), "-3.5");
    EXPECT_EQ(y(".", "2", "1"), "1");
    EXPECT_EQ(y("0.00005", "1", "0"), "0");      // tie to even
    EXPECT_EQ(y("0.00015", "1", "0"), "0.0002");  // tie to even
    EXPECT_EQ(y("1.23456", "1", "0"), "1.2346");
    EXPECT_EQ(y("2", "1e400", "0"), "<none>");
}

namespace {
class Correction : public DerivedItems
{
protected:
    void SetUp() override
    {
        DerivedItems::SetUp();
        for (const QString id : {"8", "9", "10", "100"}) {
            exec("insert into patient (shelfid, name, checkdate) values (?, '甲', '2026-12-06')", {id});
            addResult(id, 3, "2");
        }
        addResult("8", 2, "12.50");
        addResult("9", 2, "H");      // a flag text is not corrected
        addResult("100", 2, "3");    // outside the range below
    }
};
} // namespace

TEST_F(Correction, CorrectsTheRangeAndRecomputesDerivedItems)
{
    ws::CorrectionResult r = ws::correctItem({"8", "9", "10"}, Currency::fromInt(2), "1", "0", fieldcount);
    EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.corrected, 1);
    EXPECT_EQ(stored("8", 2), "12.5");
    EXPECT_EQ(stored("8", 23), "6.25");   // NLR recomputed with its two decimals
    EXPECT_EQ(stored("9", 2), "H");
    EXPECT_EQ(stored("9", 23), "<none>");
    EXPECT_EQ(stored("10", 2), "<none>");
    EXPECT_EQ(stored("100", 2), "3");

    r = ws::correctItem({"8", "9", "10", "100"}, Currency::fromInt(2), "1.1", "0.00004", fieldcount);
    EXPECT_EQ(r.corrected, 2);
    EXPECT_EQ(stored("8", 2), "13.75");    // 13.75004 -> four decimals
    EXPECT_EQ(stored("100", 2), "3.3");
    EXPECT_EQ(stored("100", 23), "1.65");

    // An item number with a fraction names no item.
    r = ws::correctItem({"8"}, *Currency::fromText("2.5"), "2", "0", fieldcount);
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_EQ(r.corrected, 0);
    EXPECT_EQ(stored("8", 2), "13.75");
}

TEST_F(Correction, AFailureLeavesNothingChanged)
{
    addResult("10", 2, "4");
    exec("update testresult set value='x' where shelfid='10' and itemid=3"); // NLR of 10 cannot be computed

    ws::CorrectionResult r = ws::correctItem({"8", "9", "10"}, Currency::fromInt(2), "2", "0", fieldcount);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_EQ(r.corrected, 0);
    EXPECT_EQ(stored("8", 2), "12.50");
    EXPECT_EQ(stored("8", 23), "<none>");
    EXPECT_EQ(stored("10", 2), "4");

    // A refusal of the database half-way.
    exec("update testresult set value='2' where shelfid='10' and itemid=3");
    exec("create trigger refuse before update on testresult when new.shelfid='100' "
         "begin select raise(abort, 'refused by test'); end");
    r = ws::correctItem({"8", "9", "10", "100"}, Currency::fromInt(2), "2", "0", fieldcount);
    EXPECT_TRUE(r.error.contains("refused by test")) << r.error.toStdString();
    EXPECT_EQ(stored("8", 2), "12.50");
    EXPECT_EQ(stored("10", 2), "4");
    EXPECT_EQ(stored("10", 23), "<none>");
    exec("drop trigger refuse");

    // A result too long for the column, on the second sample of the run.
    exec("update testresult set value='20000' where shelfid='10' and itemid=3");
    r = ws::correctItem({"10", "8"}, Currency::fromInt(2), "1000000000", "0.1", fieldcount);
    EXPECT_TRUE(r.error.contains("12500000000.1")) << r.error.toStdString();
    EXPECT_EQ(stored("8", 2), "12.50");
    EXPECT_EQ(stored("10", 2), "4");
}
