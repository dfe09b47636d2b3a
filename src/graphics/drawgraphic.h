#pragma once
// A sample's six graph pictures (Image1..Image6 of the graph panel) drawn
// from one graph-data row. Pure: the pictures depend on the row alone (and,
// for the areas a redraw leaves alone, on what they held before).
#include "graphics/graphdata.h"

#include <QImage>

namespace graphics {

struct GraphPictures
{
    // image[1]..image[6] are Image1..Image6; image[0] is unused.
    QImage image[7];
};

// Picture sizes: Image1 and Image5 142x142, the others 142x60.
QSize graphPictureSize(int n);

// Six white pictures at their sizes.
GraphPictures blankGraphPictures();

// Redraws the pictures in place: with no row (nullptr) all six are cleared;
// otherwise Image1 LMNE (a5, a11), Image2 RBC (a2, a8), Image3 PLT (a3, a9),
// Image4 BAS (a4, a10), Image5 RET (a6 with a11, frame lines from a12); an
// empty field clears its picture; Image6 is left alone.
void drawgraphic(GraphPictures &pictures, const GraphRow *row);

// The same from blank pictures.
GraphPictures drawgraphic(const GraphRow &row);

} // namespace graphics
