#include "graphics/canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace graphics {

Canvas::Canvas(QImage &image) : m_img(image)
{
    if (m_img.format() != QImage::Format_RGB32 && !m_img.isNull())
        m_img = m_img.convertToFormat(QImage::Format_RGB32);
}

void Canvas::fillRect(qint64 x0, qint64 y0, qint64 x1, qint64 y1)
{
    x0 = std::max<qint64>(x0, 0);
    y0 = std::max<qint64>(y0, 0);
    x1 = std::min<qint64>(x1, width());
    y1 = std::min<qint64>(y1, height());
    if (x0 >= x1 || y0 >= y1)
        return;
    const QRgb c = toRgb(m_brush);
    for (qint64 y = y0; y < y1; ++y) {
        auto *line = reinterpret_cast<QRgb *>(m_img.scanLine(int(y)));
        std::fill(line + x0, line + x1, c);
    }
}

void Canvas::setPixel(qint64 x, qint64 y, TColor c)
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return;
    reinterpret_cast<QRgb *>(m_img.scanLine(int(y)))[x] = toRgb(c);
}

TColor Canvas::pixel(qint64 x, qint64 y) const
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return clr::White;
    return fromRgb(reinterpret_cast<const QRgb *>(m_img.constScanLine(int(y)))[x]);
}

void Canvas::plot(qint64 x, qint64 y)
{
    if (m_penWidth <= 1) {
        setPixel(x, y, m_pen);
        return;
    }
    // Wide pens paint a square centred on the point.
    const qint64 lo = -(m_penWidth - 1) / 2;
    for (qint64 dy = lo; dy < lo + m_penWidth; ++dy)
        for (qint64 dx = lo; dx < lo + m_penWidth; ++dx)
            setPixel(x + dx, y + dy, m_pen);
}

void Canvas::lineTo(qint64 x1, qint64 y1)
{
    const qint64 x0 = m_x, y0 = m_y;
    m_x = x1;
    m_y = y1;
    const qint64 dx = x1 - x0, dy = y1 - y0;
    const qint64 adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const qint64 n = std::max(adx, ady); // pixels painted: the end point is left out
    if (n == 0)
        return;
    const bool xMajor = adx >= ady;
    const qint64 major0 = xMajor ? x0 : y0;
    const qint64 step = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const qint64 limit = xMajor ? width() + qint64(m_penWidth) : height() + qint64(m_penWidth);
    const qint64 margin = m_penWidth;

    // Only the steps whose major coordinate can reach the picture are walked,
    // so a line from a far-off threshold costs no more than a short one.
    qint64 tLo = 0, tHi = n; // [tLo, tHi)
    if (step > 0) {
        tLo = std::max<qint64>(tLo, -margin - major0);
        tHi = std::min<qint64>(tHi, limit - major0);
    } else {
        tLo = std::max<qint64>(tLo, major0 - limit + 1);
        tHi = std::min<qint64>(tHi, major0 + margin + 1);
    }
    const qint64 amaj = xMajor ? adx : ady;
    const qint64 amin = xMajor ? ady : adx;
    const qint64 minor0 = xMajor ? y0 : x0;
    const qint64 minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const bool dotted = m_style == PenStyle::Dot && m_penWidth <= 1;
    for (qint64 t = tLo; t < tHi; ++t) {
        if (dotted && (t % 6) >= 3)
            continue;
        // Bresenham's choice of the minor coordinate in closed form, so a
        // clipped start gives the same pixels as walking from the beginning.
        const __int128 num = __int128(2) * t * amin + amaj;
        const qint64 off = qint64(num / (__int128(2) * amaj));
        const qint64 maj = major0 + step * t;
        const qint64 mnr = minor0 + minorStep * off;
        if (xMajor)
            plot(maj, mnr);
        else
            plot(mnr, maj);
    }
}

QFont Canvas::defaultFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(10);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QSize Canvas::textExtent(const QString &text) const
{
    const QFontMetrics fm(defaultFont());
    return QSize(fm.horizontalAdvance(text), fm.height());
}

QRect Canvas::textOut(int x, int y, const QString &text)
{
    const QFont f = defaultFont();
    const QFontMetrics fm(f);
    const QRect box(x, y, fm.horizontalAdvance(text), fm.height());
    if (text.isEmpty() || m_img.isNull())
        return box;
    if (!m_textTransparent)
        fillRect(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
    QPainter p(&m_img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(f);
    p.setPen(QColor(toRgb(m_fontColor)));
    p.drawText(x, y + fm.ascent(), text);
    return box;
}

} // namespace graphics
