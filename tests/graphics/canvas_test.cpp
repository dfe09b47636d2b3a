// The canvas's line rules: where a clipped line lands decides every
// separator of the matrices and every discriminator of the histograms.
#include "graphics/canvas.h"
#include "pixels.h"

#include <gtest/gtest.h>

using namespace graphics;
using Pts = QSet<QPair<int, int>>;

namespace {

// The pixels a line from (x0,y0) to (x1,y1) paints on a w x h picture.
Pts line(qint64 x0, qint64 y0, qint64 x1, qint64 y1, int w, int h)
{
    QImage img = px::blank(w, h);
    Canvas c(img);
    c.moveTo(x0, y0);
    c.lineTo(x1, y1);
    return px::ofColour(img, clr::Black);
}

} // namespace

TEST(Canvas, LinesAreClippedAtTheImageWithTheStepsOfTheWholeLine)
{
    // A line from far outside costs no more than the visible part.
    EXPECT_EQ(line(-2000000000LL, 5, 3000000000LL, 5, 30, 10).size(), 30);
    EXPECT_EQ(line(10, 40, 10, -40, 30, 10).size(), 10);

    // A slanted line starting outside paints what it would when walked in full.
    Pts visible;
    for (const auto &[x, y] : line(0, 0, 90, 37, 100, 100))
        if (x >= 50 && y >= 20)
            visible.insert({x - 50, y - 20});
    ASSERT_GT(visible.size(), 30);
    EXPECT_EQ(line(-50, -20, 40, 17, 60, 60), visible);
}
