// Scatter matrices: frame, dot decoding, separator lines, dot colours.
#include "graphics/graphdraw.h"
#include "pixels.h"
#include "samplerow.h"

#include <gtest/gtest.h>

using namespace graphics;

namespace {

const QByteArray kT = sample::kLmneThresholds; // "15 25 45 35 110 20 50 60 70 75 95 0 45 95 65"

QImage matrix(const QByteArray &dots, const QByteArray &thresholds, const QString &title = "LMNE",
              const QByteArray &ret = {})
{
    QImage img;
    graphborder(img, 4, 4, 1, clr::Black, title, ret);
    drawmatrix(img, 4, 4, 1, clr::Black, dots, thresholds);
    return img;
}

QSet<QPair<int, int>> nonWhite(const QImage &img, QRect area)
{
    QSet<QPair<int, int>> out;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (px::at(img, x, y) != clr::White)
                out.insert({x, y});
    return out;
}

MatrixPoints points(const QByteArray &list)
{
    return matrixPoints(readThresholds(list, 15), 4, 4, 1);
}

} // namespace

TEST(MatrixFrame, OutlineTicksAndSize)
{
    QImage img = px::blank(10, 10, clr::Green);
    graphborder(img, 4, 4, 1, clr::Black, "LMNE");
    ASSERT_EQ(img.size(), QSize(142, 142));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(5, 5, 133, 1)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(5, 137, 133, 1)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(5, 5, 1, 133)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(137, 5, 1, 133)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(7, 3, 1, 2))); // first tick above the frame
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(6, 6, 131, 131)), 0); // "LMNE" is drawmatrix's
    EXPECT_EQ(px::countOf(img, clr::Green), 0);
}

TEST(MatrixDots, DecodingBitOrderRowsAndCase)
{
    // 32 "F": one full row of 128 dots on pixel row 8, columns 8..135.
    const QImage full = matrix(QByteArray(32, 'F'), "");
    EXPECT_EQ(nonWhite(full, QRect(6, 8, 131, 1)).size(), 128);
    EXPECT_TRUE(px::allOf(full, clr::Black, QRect(8, 8, 128, 1)));
    EXPECT_EQ(px::at(full, 7, 8), clr::White);
    EXPECT_EQ(px::at(full, 136, 8), clr::White);
    EXPECT_EQ(matrix(QByteArray(32, 'f'), ""), full);

    using Pts = QSet<QPair<int, int>>;
    const QRect row8(8, 8, 4, 1);
    EXPECT_EQ(nonWhite(matrix("8", ""), row8), (Pts{{8, 8}}));
    EXPECT_EQ(nonWhite(matrix("1", ""), row8), (Pts{{11, 8}}));
    EXPECT_EQ(nonWhite(matrix("A", ""), row8), (Pts{{8, 8}, {10, 8}}));
    EXPECT_EQ(nonWhite(matrix("6", ""), row8), (Pts{{9, 8}, {10, 8}}));
    for (const char *none : {"0", " ", "G", "\xff", "-"})
        EXPECT_EQ(nonWhite(matrix(none, ""), row8), Pts{}) << none;
    // A non-hex character still takes its four columns.
    EXPECT_EQ(nonWhite(matrix("G8", ""), QRect(8, 8, 128, 1)), (Pts{{12, 8}}));
    // After 32 digits a new row begins.
    EXPECT_EQ(nonWhite(matrix(QByteArray(32, '0') + "8", ""), QRect(8, 8, 128, 2)), (Pts{{8, 9}}));
}

TEST(MatrixDots, RowsPastTheFrameRunOnAndAreClipped)
{
    // Row 129 lands on pixel row 136, row 130 on the frame's lower edge,
    // row 134 on the last pixel row 141; later rows are below the picture.
    const QImage img = matrix(QByteArray(134 * 32, '8') + QByteArray(40 * 32, 'F'), "");
    EXPECT_EQ(px::at(img, 8, 136), clr::Black);
    EXPECT_EQ(px::at(img, 8, 141), clr::Black);
    EXPECT_EQ(px::at(img, 9, 141), clr::White);
    // Millions of digits are no slower than the picture needs.
    const QImage huge = matrix(QByteArray(4 * 1024 * 1024, 'F'), kT);
    EXPECT_EQ(px::countOf(huge, clr::White, QRect(8, 8, 128, 134)), 0);
}

TEST(MatrixLines, SeparatorsAtThresholdPositions)
{
    const QImage img = matrix("", kT);
    // Verticals: t1=15 (v 0..45) x=22 rows 91..135; t2=25 (v 45..95) x=32 rows 41..90;
    // t3=45 (v 95..128) x=52 rows 8..40; t5=110 (v 0..95) x=117 rows 41..135.
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(22, 91, 1, 45)));
    EXPECT_EQ(px::at(img, 22, 89), clr::White);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(32, 41, 1, 50)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(52, 8, 1, 33)));
    EXPECT_EQ(px::at(img, 52, 7), clr::White);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(117, 41, 1, 95)));
    // Horizontals: t13=45 row 90 from x=22 to 67 (t8); t14=95 row 40 from 32 to 135;
    // t15=65 row 70 from x=102 (t11) to 117 (t5).
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(22, 90, 45, 1)));
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(32, 40, 103, 1)));
    EXPECT_EQ(px::at(img, 136, 40), clr::White);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(102, 70, 15, 1)));
    // Slants: (t10,t13)->(t11,t15) = (82,90)->(102,70); (t8,t13)->(t9,0) = (67,90)->(77,135).
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(px::at(img, 82 + i, 90 - i), clr::Black) << i;
    for (int y = 90; y < 135; ++y) {
        const int x = 67 + ((y - 90) * 2 * 10 + 45) / 90;
        bool near = false;
        for (int dx = -1; dx <= 1; ++dx)
            near = near || px::at(img, x + dx, y) == clr::Black;
        EXPECT_TRUE(near) << y;
    }
    // Dotted verticals: t6=20 x=27, t4=35 x=42 (rows 41..90), t7=50 x=57.
    for (int x : {27, 57}) {
        EXPECT_EQ(px::at(img, x, 135), clr::Black);
        const int n = px::countOf(img, clr::Black, QRect(x, 91, 1, 45));
        EXPECT_GT(n, 10);
        EXPECT_LT(n, 45);
    }
    EXPECT_EQ(px::at(img, 42, 90), clr::Black);
    EXPECT_LT(px::countOf(img, clr::Black, QRect(42, 41, 1, 50)), 50);
}

TEST(MatrixLines, LinesCoverDotsAndDotsCoverTheCaption)
{
    // A full field of dots: the separator pixels stay black, dots elsewhere are coloured.
    const QImage img = matrix(QByteArray(4096, 'F'), kT);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(22, 91, 1, 45)));
    EXPECT_EQ(px::at(img, 40, 60), clr::Green);
    // The caption box (7,12) is overpainted by dots: no white left in rows >= 8.
    EXPECT_EQ(px::countOf(img, clr::White, QRect(8, 8, 128, 128)), 0);
}

TEST(MatrixDotColour, NineRulesLastMatchWins)
{
    const MatrixPoints m = points(kT);
    ASSERT_TRUE(m.valid);
    // X0=22 Y0=135 Y1=90 X2=32 Y3=40 X4=52 X6=X7=117 Y12=70 X14=82 X15=102
    // X16=67 X17=77 X18=57.
    struct C { int x, y; TColor c; const char *why; };
    const C cases[] = {
        {21, 134, clr::Gray, "rule 1: left of t1"},
        {21, 135, clr::Black, "bottom row left of every threshold: no rule"},
        {22, 134, clr::Navy, "rule 6 from X0 inclusive"},
        {31, 60, clr::Gray, "rule 1: left of t2 above t13"},
        {118, 100, clr::Gray, "rule 1: right of t5"},
        {117, 100, clr::Black, "X7 itself is not right of X7"},
        {53, 39, clr::Red, "rule 2"},
        {120, 39, clr::Red, "rules 1 and 2 hold: red wins"},
        {52, 39, clr::Black, "X4 itself"},
        {53, 40, clr::Black, "Y3 itself"},
        {40, 60, clr::Green, "rule 3"},
        {32, 60, clr::Black, "X2 itself"},
        {110, 70, clr::Green, "rule 4 down to Y12 inclusive"},
        {117, 60, clr::Black, "X6 itself"},
        {110, 71, clr::Fuchsia, "rule 9 below Y12"},
        {100, 71, clr::Fuchsia, "rule 5 green, then rule 9"},
        {56, 100, clr::Navy, "rule 6"},
        {57, 100, clr::Black, "X18 itself: neither navy nor teal"},
        {58, 100, clr::Teal, "rule 7"},
        {67, 100, clr::Teal, "rule 7 up to X16 inclusive"},
        {69, 99, clr::Teal, "rule 8 exactly on the line P16-P17"},
        {72, 113, clr::Teal, "rule 8 below the line"},
        {72, 112, clr::Fuchsia, "rule 8 above the line"},
        {77, 100, clr::Fuchsia, "rule 9 from X17 inclusive"},
        {56, 90, clr::Black, "Y1 itself: neither rule 3 nor rule 6"},
    };
    for (const C &c : cases)
        EXPECT_EQ(getmatrixdotcolor(m, c.x, c.y), c.c) << c.why << " (" << c.x << "," << c.y << ")";

    // Rule 5 on its own (t9 far right so rule 9 does not reach the strip):
    // line P14 (82,90) - P15 (102,70), slope -1.
    const MatrixPoints r5 = points("15 25 45 35 110 20 50 60 120 75 95 0 45 95 65");
    EXPECT_EQ(getmatrixdotcolor(r5, 92, 80), clr::Fuchsia); // on the line
    EXPECT_EQ(getmatrixdotcolor(r5, 92, 81), clr::Fuchsia); // below
    EXPECT_EQ(getmatrixdotcolor(r5, 92, 79), clr::Green);   // above
    EXPECT_EQ(getmatrixdotcolor(r5, 101, 90), clr::Fuchsia); // Y1 inclusive
    EXPECT_EQ(getmatrixdotcolor(r5, 102, 80), clr::Black);  // X15 itself: outside the strip
    EXPECT_EQ(getmatrixdotcolor(r5, 82, 80), clr::Green);   // rule 3 up to X14 inclusive

    // Without fifteen thresholds every dot is black.
    const MatrixPoints none = points("15 25 45");
    EXPECT_FALSE(none.valid);
    for (const C &c : cases)
        EXPECT_EQ(getmatrixdotcolor(none, c.x, c.y), clr::Black);
}

TEST(MatrixMended, FewerThanFifteenThresholdsDrawBlackDotsWithoutLines)
{
    const QByteArray fourteen = "15 25 45 35 110 20 50 60 70 75 95 0 45 95";
    const QImage img = matrix(QByteArray(32 * 64, '8'), fourteen); // dots in column 8, 12, ...
    // Frame and caption are there.
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(5, 5, 133, 1)));
    EXPECT_GT(px::countOf(img, clr::Black, QRect(7, 12, 20, 8)), 3);
    // Dots black, no separator line (column 22 and row 90 would hold t1 and t13).
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(8, 8, 1, 64)));
    for (TColor c : {clr::Gray, clr::Red, clr::Green, clr::Navy, clr::Teal, clr::Fuchsia})
        EXPECT_EQ(px::countOf(img, c), 0);
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(22, 100, 1, 30)), 0);
    EXPECT_EQ(px::countOf(img, clr::Black, QRect(23, 90, 3, 1)), 0);
    // A number that cannot be read is dropped, leaving fourteen.
    EXPECT_EQ(matrix(QByteArray(32 * 64, '8'), "15 25 45 35 110 20 50 60 70 75 95 0 45 95 99999999999"), img);
    // "15.9" reads as 15: same as the full list.
    EXPECT_EQ(matrix("", "15.9 25 45 35 110 20 50 60 70 75 95 0 45 95 65"), matrix("", kT));
    // Far-off thresholds draw clipped lines, quickly.
    EXPECT_NO_FATAL_FAILURE(matrix(QByteArray(4096, 'F'),
                                   "2147483647 0 2147483647 5 2147483647 1 2 3 2147483647 4 "
                                   "2147483647 0 2147483647 2147483647 2147483647"));
}

TEST(MatrixRet, RetLinesAndCaptionCoveredByLmne)
{
    // r1..r8 = 40 60 80 100 70 120 160 150: vertical x=47 rows 9..135;
    // left horizontal at h(75)=60 from 47 to 7; right ones at h(35)=100,
    // h(60)=75, h(80)=55 from 47 to 134; dotted at 67, 87, 107 from 135 up to 60.
    const QByteArray r = "40 60 80 100 70 120 160 150";
    QImage img;
    graphborder(img, 4, 4, 1, clr::Black, "RET", r);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(47, 9, 1, 127)));
    EXPECT_EQ(px::at(img, 47, 8), clr::White);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(8, 60, 40, 1)));
    EXPECT_EQ(px::at(img, 7, 60), clr::White);
    for (int y : {100, 75, 55}) {
        EXPECT_TRUE(px::allOf(img, clr::Black, QRect(47, y, 87, 1))) << y;
        EXPECT_EQ(px::at(img, 134, y), clr::White) << y;
    }
    for (int x : {67, 87, 107}) {
        EXPECT_EQ(px::at(img, x, 135), clr::Black);
        EXPECT_LT(px::countOf(img, clr::Black, QRect(x, 61, 1, 75)), 75);
    }
    // Fewer than eight: caption only.
    QImage seven;
    graphborder(seven, 4, 4, 1, clr::Black, "RET", "40 60 80 100 70 120 160");
    EXPECT_EQ(px::countOf(seven, clr::Black, QRect(47, 30, 1, 100)), 0);

    // "LMNE" covers "RET" at the same point.
    QImage ret = matrix("", "", "RET", "");
    QImage lmne = matrix("", "", "LMNE");
    QImage probe = px::blank(1, 1);
    const QRect box(QPoint(7, 12), Canvas(probe).textExtent("RET"));
    EXPECT_EQ(ret.copy(box), lmne.copy(box));
}
