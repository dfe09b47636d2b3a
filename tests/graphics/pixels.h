#pragma once
// Pixel helpers for the drawing tests.
#include "graphics/canvas.h"

#include <QImage>
#include <QRect>
#include <QSet>

namespace px {

inline graphics::TColor at(const QImage &img, int x, int y) { return graphics::fromRgb(img.pixel(x, y)); }

inline QImage blank(int w, int h, graphics::TColor c = graphics::clr::White)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(graphics::toRgb(c));
    return img;
}

// Every pixel of the given colour in the area (default: all), as (x, y).
inline QSet<QPair<int, int>> ofColour(const QImage &img, graphics::TColor c, QRect area = {})
{
    QSet<QPair<int, int>> out;
    area = area.isNull() ? img.rect() : area;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (at(img, x, y) == c)
                out.insert({x, y});
    return out;
}

inline int countOf(const QImage &img, graphics::TColor c, QRect area = {}) { return ofColour(img, c, area).size(); }

inline bool allOf(const QImage &img, graphics::TColor c, QRect area = {})
{
    area = area.isNull() ? img.rect() : area;
    return countOf(img, c, area) == area.width() * area.height();
}

} // namespace px
