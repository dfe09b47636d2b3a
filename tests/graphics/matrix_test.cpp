// Scatter matrices: frame, dot decoding, separator lines, dot colours.
#include "graphics/graphdraw.h"
#include "pixels.h"

#include <gtest/gtest.h>

using namespace graphics;
using Pts = QSet<QPair<int, int>>;

namespace {

const QByteArray kT = "15 25 45 35 110 20 50 60 70 75 95 0 45 95 65";

QImage matrix(const QByteArray &dots, const QByteArray &thresholds, const QString &title = "LMNE")
{
    QImage img;
    graphborder(img, 4, 4, 1, clr::Black, title);
    drawmatrix(img, 4, 4, 1, clr::Black, dots, thresholds);
    return img;
}

// Dots without thresholds are black.
Pts dots(const QByteArray &digits, QRect area = QRect(8, 8, 4, 1))
{
    return px::ofColour(matrix(digits, ""), clr::Black, area);
}

MatrixPoints points(const QByteArray &list)
{
    return matrixPoints(readThresholds(list, 15), 4, 4, 1);
}

// A line as a one-pixel-wide rectangle: solid lines are black all along,
// dotted ones start painted at their lower end and leave gaps; `past` is a
// pixel just beyond the line's end that the line must not reach.
struct Line { QRect r; bool dotted = false; QPoint past{-1, -1}; };

void expectLines(const QImage &img, std::initializer_list<Line> lines)
{
    for (const Line &l : lines) {
        SCOPED_TRACE(testing::Message() << "line at " << l.r.x() << "," << l.r.y());
        const int n = px::countOf(img, clr::Black, l.r), all = l.r.width() * l.r.height();
        if (l.dotted)
            EXPECT_TRUE(px::at(img, l.r.right(), l.r.bottom()) == clr::Black && n > all / 4 && n < all) << n;
        else
            EXPECT_EQ(n, all);
        if (l.past.x() >= 0)
            EXPECT_NE(px::at(img, l.past.x(), l.past.y()), clr::Black);
    }
}

} // namespace

TEST(MatrixDots, DecodingBitOrderRowsAndCase)
{
    // 32 "F": one full row of 128 dots on pixel row 8, columns 8..135.
    EXPECT_EQ(dots(QByteArray(32, 'F'), QRect(6, 8, 131, 1)), dots(QByteArray(32, 'f'), QRect(8, 8, 128, 1)));
    EXPECT_EQ(dots(QByteArray(32, 'F'), QRect(6, 8, 131, 1)).size(), 128);
    // Most significant bit leftmost; anything but a hex digit is no dot.
    const struct { const char *digits; Pts painted; } bits[] = {
        {"8", {{8, 8}}}, {"1", {{11, 8}}}, {"A", {{8, 8}, {10, 8}}}, {"6", {{9, 8}, {10, 8}}},
        {"0", {}}, {" ", {}}, {"G", {}}, {"\xff", {}}, {"-", {}}};
    for (const auto &b : bits)
        EXPECT_EQ(dots(b.digits), b.painted) << b.digits;
    // A non-hex character still takes its four columns; after 32 digits a new row begins.
    EXPECT_EQ(dots("G8", QRect(8, 8, 128, 1)), (Pts{{12, 8}}));
    EXPECT_EQ(dots(QByteArray(32, '0') + "8", QRect(8, 8, 128, 2)), (Pts{{8, 9}}));
}

TEST(MatrixDots, RowsPastTheFrameRunOnAndAreClipped)
{
    // Row 129 lands on pixel row 136, row 134 on the last pixel row 141;
    // later rows are below the picture.
    const QImage img = matrix(QByteArray(134 * 32, '8') + QByteArray(40 * 32, 'F'), "");
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(8, 136, 1, 6)));
    EXPECT_EQ(px::at(img, 9, 141), clr::White);
    // Millions of digits draw no more than the picture holds.
    const QImage huge = matrix(QByteArray(4 * 1024 * 1024, 'F'), kT);
    EXPECT_EQ(px::countOf(huge, clr::White, QRect(8, 8, 128, 134)), 0);
}

TEST(MatrixLines, SeparatorsAtThresholdPositionsCoverTheDots)
{
    const QImage img = matrix("", kT);
    expectLines(img, {
        // Verticals: t1=15 (v 0..45), t2=25 (v 45..95), t3=45 (v 95..128), t5=110 (v 0..95).
        {QRect(22, 91, 1, 45), false, {22, 89}}, {QRect(32, 41, 1, 50)},
        {QRect(52, 8, 1, 33), false, {52, 7}},   {QRect(117, 41, 1, 95)},
        // Horizontals: t13=45 from t1 to t8; t14=95 from t2 to the frame; t15=65 from t11 to t5.
        {QRect(22, 90, 45, 1)}, {QRect(32, 40, 103, 1), false, {136, 40}}, {QRect(102, 70, 15, 1)},
        // Dotted verticals: t6=20, t7=50 (v 0..45), t4=35 (v 45..95).
        {QRect(27, 91, 1, 45), true}, {QRect(57, 91, 1, 45), true}, {QRect(42, 41, 1, 50), true}});
    // Slants: (t10,t13)->(t11,t15) = (82,90)->(102,70); (t8,t13)->(t9,0) = (67,90)->(77,135).
    for (int i = 0; i < 45; ++i) {
        EXPECT_TRUE(i >= 20 || px::at(img, 82 + i, 90 - i) == clr::Black) << i;
        EXPECT_GT(px::countOf(img, clr::Black, QRect(66 + (i * 20 + 45) / 90, 90 + i, 3, 1)), 0) << i;
    }
    // Under full dots every separator pixel stays black, dots elsewhere are
    // coloured, and dots overpaint the caption: no white left.
    QImage full = matrix(QByteArray(4096, 'F'), kT);
    const QRect caption(QPoint(7, 12), Canvas(full).textExtent("LMNE"));
    for (const auto &p : px::ofColour(img, clr::Black))
        if (!caption.contains(p.first, p.second))
            ASSERT_EQ(px::at(full, p.first, p.second), clr::Black) << p.first << "," << p.second;
    EXPECT_EQ(px::at(full, 40, 60), clr::Green);
    EXPECT_EQ(px::countOf(full, clr::White, QRect(8, 8, 128, 128)), 0);
}

TEST(MatrixDotColour, NineRulesLastMatchWins)
{
    const MatrixPoints m = points(kT);
    ASSERT_TRUE(m.valid);
    // X0=22 Y0=135 Y1=90 X2=32 Y3=40 X4=52 X6=X7=117 Y12=70 X14=82 X15=102
    // X16=67 X17=77 X18=57.
    struct C { int x, y; TColor c; const char *why; };
    const C cases[] = {
        {21, 134, clr::Gray, "rule 1: left of t1"},       {21, 135, clr::Black, "bottom row: no rule"},
        {22, 134, clr::Navy, "rule 6 from X0 inclusive"}, {118, 100, clr::Gray, "rule 1: right of t5"},
        {53, 39, clr::Red, "rule 2"},                     {120, 39, clr::Red, "rules 1 and 2: red wins"},
        {53, 40, clr::Black, "Y3 itself"},                {52, 39, clr::Black, "X4 itself: neither rule 1 nor 2"},
        {40, 60, clr::Green, "rule 3"},                   {110, 70, clr::Green, "rule 4 down to Y12"},
        {110, 71, clr::Fuchsia, "rule 9 below Y12"},
        {100, 71, clr::Fuchsia, "rule 5 green, then rule 9"}, {57, 100, clr::Black, "X18 itself"},
        {67, 100, clr::Teal, "rule 7 up to X16"},         {69, 99, clr::Teal, "rule 8 on the line"},
        {72, 112, clr::Fuchsia, "rule 8 above the line"}, {56, 90, clr::Black, "Y1: neither rule 3 nor rule 6"},
    };
    for (const C &c : cases)
        EXPECT_EQ(getmatrixdotcolor(m, c.x, c.y), c.c) << c.why << " (" << c.x << "," << c.y << ")";

    // Rule 5 on its own (t9 far right so rule 9 does not reach the strip):
    // line P14 (82,90) - P15 (102,70), slope -1.
    const MatrixPoints r5 = points("15 25 45 35 110 20 50 60 120 75 95 0 45 95 65");
    for (const C &c : {C{92, 80, clr::Fuchsia, "on the line"}, C{92, 79, clr::Green, "above"},
                       C{101, 90, clr::Fuchsia, "Y1 inclusive"}, C{82, 80, clr::Green, "rule 3 up to X14"}})
        EXPECT_EQ(getmatrixdotcolor(r5, c.x, c.y), c.c) << c.why;
    EXPECT_EQ(getmatrixdotcolor(points("15 25 45"), 40, 60), clr::Black); // too few thresholds
}

TEST(MatrixFewThresholds, FewerThanFifteenThresholdsDrawBlackDotsWithoutLines)
{
    const QByteArray fourteen = "15 25 45 35 110 20 50 60 70 75 95 0 45 95";
    const QImage img = matrix(QByteArray(32 * 64, '8'), fourteen); // dots in column 8, 12, ...
    // Dots black, no separator line (column 22 and row 90 would hold t1 and t13).
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(8, 8, 1, 64)));
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(22, 100, 1, 30)) + px::countOf(img, clr::Black, QRect(23, 90, 3, 1))
                  + px::countOf(img, clr::Gray) + px::countOf(img, clr::Navy), 0);
    // A number that cannot be read is dropped, leaving fourteen; "15.9" reads as 15.
    EXPECT_EQ(matrix(QByteArray(32 * 64, '8'), fourteen + " 99999999999"), img);
    EXPECT_EQ(matrix("", "15.9 25 45 35 110 20 50 60 70 75 95 0 45 95 65"), matrix("", kT));
    // Far-off thresholds draw clipped lines.
    matrix(QByteArray(4096, 'F'), "2147483647 0 2147483647 5 2147483647 1 2 3 2147483647 4 "
                                  "2147483647 0 2147483647 2147483647 2147483647");
}

TEST(MatrixRet, RetLinesAndCaptionCoveredByLmne)
{
    // r1..r8 = 40 60 80 100 70 120 160 150: vertical at 47, left horizontal
    // at h(75)=60, right ones at h(35)=100, h(60)=75, h(80)=55, dotted
    // verticals at 67, 87, 107 from the bottom up to 60.
    QImage img = px::blank(10, 10, clr::Green);
    graphborder(img, 4, 4, 1, clr::Black, "RET", "40 60 80 100 70 120 160 150");
    // The frame takes the whole picture and leaves nothing of what was there.
    ASSERT_EQ(img.size(), QSize(142, 142));
    EXPECT_EQ(px::countOf(img, clr::Green), 0);
    expectLines(img, {{QRect(5, 5, 133, 1)}, {QRect(137, 5, 1, 133)}, {QRect(47, 9, 1, 127), false, {47, 8}}, {QRect(8, 60, 40, 1), false, {7, 60}},
                      {QRect(47, 100, 87, 1), false, {134, 100}}, {QRect(47, 75, 87, 1), false, {134, 75}},
                      {QRect(47, 55, 87, 1), false, {134, 55}}, {QRect(67, 61, 1, 75), true},
                      {QRect(87, 61, 1, 75), true}, {QRect(107, 61, 1, 75), true}});
    // Fewer than eight: caption only.
    graphborder(img, 4, 4, 1, clr::Black, "RET", "40 60 80 100 70 120 160");
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(47, 30, 1, 100)), 0);
    // "LMNE" covers "RET" at the same point.
    const QRect box(QPoint(7, 12), Canvas(img).textExtent("RET"));
    EXPECT_EQ(matrix("", "", "RET").copy(box), matrix("", "", "LMNE").copy(box));
}
