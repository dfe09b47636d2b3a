#include "graphics/drawgraphic.h"

#include "graphics/graphdraw.h"

namespace graphics {

namespace {

void clearPicture(QImage &image)
{
    Canvas c(image);
    c.setBrushColor(kPanelColor);
    c.fill();
}

void ensureSize(QImage &image, int n)
{
    if (image.size() != graphPictureSize(n) || image.format() != QImage::Format_RGB32) {
        image = QImage(graphPictureSize(n), QImage::Format_RGB32);
        image.fill(toRgb(kPanelColor));
    }
}

} // namespace

QSize graphPictureSize(int n)
{
    return (n == 1 || n == 5) ? QSize(142, 142) : QSize(142, 60);
}

GraphPictures blankGraphPictures()
{
    GraphPictures p;
    for (int n = 1; n <= 6; ++n)
        ensureSize(p.image[n], n);
    return p;
}

void drawgraphic(GraphPictures &pictures, const GraphRow *row)
{
    for (int n = 1; n <= 6; ++n)
        ensureSize(pictures.image[n], n);
    if (!row) {
        for (int n = 1; n <= 6; ++n)
            clearPicture(pictures.image[n]);
        return;
    }
    const GraphRow &r = *row;

    if (r.a[5].isEmpty()) {
        clearPicture(pictures.image[1]);
    } else {
        graphborder(pictures.image[1], 4, 4, 1, clr::Black, QStringLiteral("LMNE"));
        drawmatrix(pictures.image[1], 4, 4, 1, clr::Black, r.a[5], trimmedList(r.a[11]));
    }

    static const struct { int image, data, list; const char *kind; } curves[] = {
        {2, 2, 8, "RBC"}, {3, 3, 9, "PLT"}, {4, 4, 10, "BAS"}};
    for (const auto &cv : curves) {
        if (r.a[cv.data].isEmpty())
            clearPicture(pictures.image[cv.image]);
        else
            drawcurve(pictures.image[cv.image], QString::fromLatin1(cv.kind), r.a[cv.data],
                      trimmedList(r.a[cv.list]));
    }

    // The RET picture is drawn against the LMNE thresholds, as it always
    // was; its own frame lines come from a12 of the same row.
    if (r.a[6].isEmpty()) {
        clearPicture(pictures.image[5]);
    } else {
        graphborder(pictures.image[5], 4, 4, 1, clr::Black, QStringLiteral("RET"), r.a[12]);
        drawmatrix(pictures.image[5], 4, 4, 1, clr::Black, r.a[6], trimmedList(r.a[11]));
    }
}

GraphPictures drawgraphic(const GraphRow &row)
{
    GraphPictures p = blankGraphPictures();
    drawgraphic(p, &row);
    return p;
}

} // namespace graphics
