// val, cdate, len and space as the program's statements use them.
#include "platform/db/command.h"
#include "testdb.h"

#include <QVariant>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class SqlFunctions : public ::testing::Test
{
protected:
    void SetUp() override { testdb::fresh(false); }

    static QVariant eval(const QString &expr, const QVariant &arg)
    {
        bool ok = false;
        QString error;
        const QVariant v = db::scalar(QStringLiteral("select ") + expr, {arg}, &ok, &error);
        EXPECT_TRUE(ok) << expr.toStdString() << ": " << error.toStdString();
        return v;
    }
    static double val(const QVariant &arg) { return eval(QStringLiteral("val(?)"), arg).toDouble(); }
};

TEST_F(SqlFunctions, ValReadsTheLeadingNumber)
{
    const struct { const char *text; double value; } cases[] = {
        {"0012", 12},   {" 1 2", 12}, {"1\t2\n3", 123}, {"-3.5e1", -35}, {"- 4", -4},  {".5", 0.5},
        {"1.2.3", 1.2}, {"12abc", 12}, {"A12", 0},      {"", 0},        {"--3", 0},  {"1e+", 1},
        {"1D2", 100},   {"12-3", 12}, {"0x1A", 0},     {"&H1A", 26},   {"&O17", 15}, {"１２", 0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(val(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';

    EXPECT_TRUE(eval(QStringLiteral("val(?)"), QVariant(QMetaType(QMetaType::QString))).isNull());
    EXPECT_DOUBLE_EQ(val(QVariant(2.25)), 2.25);
    EXPECT_TRUE(std::isinf(val(QStringLiteral("1e999"))));
}

TEST_F(SqlFunctions, CdateGivesIsoDateOrNull)
{
    const struct { const char *text, *iso; /* nullptr: not a date */ } cases[] = {
        {"2024-3-5", "2024-03-05"}, {" 2024/03/05 ", "2024-03-05"}, {"2024-03-05T14:30:15", "2024-03-05"},
        {"2024-02-29", "2024-02-29"}, {"2023-02-29", nullptr}, {"2024-03/05", nullptr}, {"20240305", nullptr},
        {"", nullptr}, {"2024-03-05x", nullptr}, {"2024-03-05 25:00", nullptr}, {"2024-03-05 10:20xyz", nullptr},
    };
    for (const auto &c : cases) {
        const QVariant v = eval(QStringLiteral("cdate(?)"), QString::fromUtf8(c.text));
        if (c.iso)
            EXPECT_EQ(v.toString().toStdString(), c.iso) << c.text;
        else
            EXPECT_TRUE(v.isNull()) << c.text << " gave " << v.toString().toStdString();
    }
    EXPECT_TRUE(eval(QStringLiteral("cdate(?)"), QVariant(QMetaType(QMetaType::QString))).isNull());
    // Day serials count from 1899-12-30.
    EXPECT_EQ(eval(QStringLiteral("cdate(?)"), 45356).toString(), QStringLiteral("2024-03-05"));

    // Compares with stored date text.
    EXPECT_EQ(eval(QStringLiteral("cdate(?) = '2024-03-05'"), QStringLiteral("2024-3-5")).toInt(), 1);
}

TEST_F(SqlFunctions, LenCountsCharactersAndSpaceMakesBlanks)
{
    const QVariant nullText(QMetaType(QMetaType::QString)), nullInt(QMetaType(QMetaType::Int));
    const struct { const char *expr; QVariant arg, result; } cases[] = {
        {"len(?)", QStringLiteral("质控品1"), 4}, {"len(?)", 1234, 4}, {"len(?)", nullText, QVariant()},
        {"space(?)", -2, QString()}, {"space(?)", QStringLiteral("2"), QStringLiteral("  ")},
        {"space(?)", nullInt, QVariant()}, {"space(?)", 2.7, QStringLiteral("   ")},
    };
    for (const auto &c : cases) {
        const QVariant v = eval(QString::fromUtf8(c.expr), c.arg);
        EXPECT_EQ(v.isNull(), c.result.isNull()) << c.expr << " " << c.arg.toString().toStdString();
        EXPECT_EQ(v.toString(), c.result.toString()) << c.expr << " " << c.arg.toString().toStdString();
    }
    bool ok = true;
    db::scalar(QStringLiteral("select space(1e12)"), {}, &ok);
    EXPECT_FALSE(ok) << "an absurd length must fail";
}

} // namespace
