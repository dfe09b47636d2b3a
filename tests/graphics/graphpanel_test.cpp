// The graph panel shows exactly the pictures drawgraphic makes, and clears them.
#include "graphics/graphpanel.h"
#include "pixels.h"
#include "samplerow.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace graphics;

TEST(GraphPanel, DrawsAndClearsItsImages)
{
    GraphPanel panel;
    const GraphRow row = sample::realisticRow();
    panel.drawgraphic(row);
    const GraphPictures expected = graphics::drawgraphic(row);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(panel.image(n)->pixmap().toImage().convertToFormat(QImage::Format_RGB32), expected.image[n]) << n;
    panel.clear();
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(px::allOf(panel.picture(n), clr::White)) << n;
}
