// The canvas paints as the old window canvas did: these rules decide every
// pixel of the histograms and matrices.
#include "graphics/canvas.h"
#include "pixels.h"

#include <gtest/gtest.h>

using namespace graphics;

TEST(Canvas, FillLeavesOutRightAndBottomEdgeAndClips)
{
    QImage img = px::blank(10, 10, clr::Black);
    Canvas c(img);
    c.setBrushColor(clr::Red);
    c.fillRect(2, 3, 5, 6);
    EXPECT_EQ(px::ofColour(img, clr::Red).size(), 9);
    EXPECT_EQ(img.pixel(2, 3), qRgb(255, 0, 0)); // colour numbers keep red in the low byte
    EXPECT_TRUE(px::allOf(img, clr::Red, QRect(2, 3, 3, 3)));
    EXPECT_EQ(px::at(img, 5, 3), clr::Black);
    EXPECT_EQ(px::at(img, 2, 6), clr::Black);

    c.setBrushColor(clr::Green);
    c.fillRect(-50, -50, 1, 1000); // clipped to column 0
    EXPECT_EQ(px::countOf(img, clr::Green), 10);
    c.fillRect(4, 4, 4, 9); // empty width
    c.fillRect(7, 7, 3, 3); // inverted
    EXPECT_EQ(px::countOf(img, clr::Green), 10);
}

TEST(Canvas, LineLeavesOutItsEndPoint)
{
    QImage img = px::blank(20, 20);
    Canvas c(img);
    c.moveTo(1, 1);
    c.lineTo(5, 1);
    EXPECT_EQ(px::ofColour(img, clr::Black),
              (QSet<QPair<int, int>>{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));
    EXPECT_EQ(c.penX(), 5);

    img = px::blank(20, 20);
    c.moveTo(3, 10);
    c.lineTo(3, 6); // upward
    EXPECT_EQ(px::ofColour(img, clr::Black),
              (QSet<QPair<int, int>>{{3, 10}, {3, 9}, {3, 8}, {3, 7}}));

    img = px::blank(20, 20);
    c.moveTo(4, 4);
    c.lineTo(4, 4); // zero length paints nothing
    EXPECT_EQ(px::countOf(img, clr::Black), 0);

}

TEST(Canvas, SlantedLineIsOnePixelPerStepWithoutGaps)
{
    QImage img = px::blank(20, 20);
    Canvas c(img);
    c.moveTo(0, 0);
    c.lineTo(9, 3);
    const auto pts = px::ofColour(img, clr::Black);
    ASSERT_EQ(pts.size(), 9);
    int lastY = 0;
    for (int x = 0; x < 9; ++x) {
        int found = -1;
        for (int y = 0; y <= 3; ++y)
            if (pts.contains({x, y}))
                found = y;
        ASSERT_GE(found, lastY) << "x=" << x;
        ASSERT_LE(found - lastY, 1);
        lastY = found;
    }
    EXPECT_FALSE(pts.contains({9, 3}));

    // Drawn in the other direction it starts at the other end.
    img = px::blank(20, 20);
    c.moveTo(9, 3);
    c.lineTo(0, 0);
    EXPECT_TRUE(px::ofColour(img, clr::Black).contains({9, 3}));
    EXPECT_FALSE(px::ofColour(img, clr::Black).contains({0, 0}));
}

TEST(Canvas, ClipsLinesAndPixelsAtTheImage)
{
    QImage img = px::blank(30, 10);
    Canvas c(img);
    c.setPixel(-1, 0, clr::Black);
    c.setPixel(30, 0, clr::Black);
    c.setPixel(0, 10, clr::Black);
    EXPECT_EQ(px::countOf(img, clr::Black), 0);

    // A line from far outside costs no more than the visible part.
    c.moveTo(-2000000000LL, 5);
    c.lineTo(3000000000LL, 5);
    EXPECT_TRUE(px::allOf(img, clr::Black, QRect(0, 5, 30, 1)));
    EXPECT_EQ(px::countOf(img, clr::Black), 30);

    img = px::blank(30, 10);
    c.moveTo(10, 40);
    c.lineTo(10, -40);
    EXPECT_EQ(px::countOf(img, clr::Black), 10);

    // A clipped slanted line gives the same visible pixels as if walked in full.
    QImage full = px::blank(100, 100);
    Canvas f(full);
    f.moveTo(0, 0);
    f.lineTo(90, 37);
    QImage part = px::blank(40, 40);
    Canvas p(part);
    p.moveTo(-30, -30);
    p.lineTo(60, 7);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(px::at(part, x, y), px::at(full, x + 30, y + 30)) << x << "," << y;
}

TEST(Canvas, DottedPenStartsPaintedAndLeavesGaps)
{
    QImage img = px::blank(40, 3);
    Canvas c(img);
    c.setPenStyle(Canvas::PenStyle::Dot);
    c.moveTo(0, 1);
    c.lineTo(30, 1);
    EXPECT_EQ(px::at(img, 0, 1), clr::Black);
    const int n = px::countOf(img, clr::Black);
    EXPECT_GT(n, 5);
    EXPECT_LT(n, 25);
    EXPECT_EQ(c.penStyle(), Canvas::PenStyle::Dot); // stays until set back
}
