// The canvas's pixel rules: these decide every
// pixel of the histograms and matrices.
#include "graphics/canvas.h"
#include "pixels.h"

#include <gtest/gtest.h>

using namespace graphics;
using Pts = QSet<QPair<int, int>>;

namespace {

// The pixels a line from (x0,y0) to (x1,y1) paints on a w x h picture.
Pts line(qint64 x0, qint64 y0, qint64 x1, qint64 y1, int w = 20, int h = 20)
{
    QImage img = px::blank(w, h);
    Canvas c(img);
    c.moveTo(x0, y0);
    c.lineTo(x1, y1);
    return px::ofColour(img, clr::Black);
}

} // namespace

TEST(Canvas, FillLeavesOutRightAndBottomEdgeAndClips)
{
    QImage img = px::blank(10, 10, clr::Black);
    Canvas c(img);
    c.setBrushColor(clr::Red);
    c.fillRect(2, 3, 5, 6);
    EXPECT_EQ(img.pixel(2, 3), qRgb(255, 0, 0)); // colour numbers keep red in the low byte
    EXPECT_EQ(px::ofColour(img, clr::Red), px::ofColour(img, clr::Red, QRect(2, 3, 3, 3)));
    EXPECT_TRUE(px::allOf(img, clr::Red, QRect(2, 3, 3, 3)));

    c.setBrushColor(clr::Green);
    c.fillRect(-50, -50, 1, 1000); // clipped to column 0
    c.fillRect(4, 4, 4, 9);        // empty width
    c.fillRect(7, 7, 3, 3);        // inverted
    EXPECT_EQ(px::ofColour(img, clr::Green), px::ofColour(img, clr::Green, QRect(0, 0, 1, 10)));
    EXPECT_EQ(px::countOf(img, clr::Green), 10);
}

// Where lines start and end, and how they step, the histogram and matrix
// tests pin pixel by pixel.
TEST(Canvas, ClipsLinesAndPixelsAtTheImage)
{
    QImage img = px::blank(30, 10);
    Canvas c(img);
    for (const auto &[x, y] : {std::pair{-1, 0}, {30, 0}, {0, 10}})
        c.setPixel(x, y, clr::Black);
    EXPECT_EQ(px::countOf(img, clr::Black), 0);

    // A line from far outside costs no more than the visible part.
    EXPECT_EQ(line(-2000000000LL, 5, 3000000000LL, 5, 30, 10).size(), 30);
    EXPECT_EQ(line(10, 40, 10, -40, 30, 10).size(), 10);

    // A clipped slanted line gives the same visible pixels as if walked in full.
    const Pts full = line(0, 0, 90, 37, 100, 100);
    Pts visible;
    for (const auto &p : full)
        if (p.first >= 30 && p.first < 70 && p.second >= 30 && p.second < 70)
            visible.insert({p.first - 30, p.second - 30});
    EXPECT_EQ(line(-30, -30, 60, 7, 40, 40), visible);
}
