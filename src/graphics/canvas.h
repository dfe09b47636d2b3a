#pragma once
// A drawing surface with fixed pixel rules, so that
// histograms and scatter matrices come out pixel for pixel as the staff know
// them: fills leave out the right and bottom edge, a line leaves out its end
// point, nothing is antialiased, text sits at its top-left corner on the
// brush colour, and everything outside the picture is clipped.
#include <QImage>
#include <QFont>
#include <QRect>
#include <QString>

namespace graphics {

// Colours as the stored settings and drawing code number them: 0x00BBGGRR
// (low byte red).
using TColor = quint32;
namespace clr {
constexpr TColor Black = 0x000000;
constexpr TColor White = 0xFFFFFF;
constexpr TColor Red = 0x0000FF;
constexpr TColor Yellow = 0x00FFFF;
constexpr TColor Navy = 0x800000;
constexpr TColor Gray = 0x808080;
constexpr TColor Green = 0x008000;
constexpr TColor Teal = 0x808000;
constexpr TColor Fuchsia = 0xFF00FF;
constexpr TColor Maroon = 0x000080;
} // namespace clr

inline QRgb toRgb(TColor c)
{
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
inline TColor fromRgb(QRgb c)
{
    return TColor(qRed(c)) | (TColor(qGreen(c)) << 8) | (TColor(qBlue(c)) << 16);
}

class Canvas
{
public:
    enum class PenStyle { Solid, Dot };

    // Works on the caller's image (converted to RGB32 when it is not).
    // Pen black, solid, 1 pixel; brush white; text opaque, in black.
    explicit Canvas(QImage &image);

    QImage &image() { return m_img; }
    int width() const { return m_img.width(); }
    int height() const { return m_img.height(); }

    TColor brushColor() const { return m_brush; }
    void setBrushColor(TColor c) { m_brush = c; }
    TColor penColor() const { return m_pen; }
    void setPenColor(TColor c) { m_pen = c; }
    PenStyle penStyle() const { return m_style; }
    void setPenStyle(PenStyle s) { m_style = s; }
    int penWidth() const { return m_penWidth; }
    void setPenWidth(int w) { m_penWidth = w < 1 ? 1 : w; }
    TColor fontColor() const { return m_fontColor; }
    void setFontColor(TColor c) { m_fontColor = c; }
    // Transparent text leaves the pixels between the glyphs alone.
    void setTextTransparent(bool on) { m_textTransparent = on; }

    // Fills x in [x0, x1), y in [y0, y1) with the brush colour.
    void fillRect(qint64 x0, qint64 y0, qint64 x1, qint64 y1);
    void fill() { fillRect(0, 0, width(), height()); }

    void moveTo(qint64 x, qint64 y) { m_x = x; m_y = y; }
    // Paints from the current position up to, not including, (x, y) and
    // moves there. A dotted pen paints three pixels and skips three,
    // starting afresh at every line.
    void lineTo(qint64 x, qint64 y);
    qint64 penX() const { return m_x; }
    qint64 penY() const { return m_y; }

    void setPixel(qint64 x, qint64 y, TColor c);
    TColor pixel(qint64 x, qint64 y) const; // White outside the picture

    // Writes the text with its top-left corner at (x, y); returns the box
    // the text occupies (the background box when opaque).
    QRect textOut(int x, int y, const QString &text);
    QSize textExtent(const QString &text) const;

    // The font every canvas writes in: small, fixed, never set by the drawing.
    static QFont defaultFont();

private:
    void plot(qint64 x, qint64 y);

    QImage &m_img;
    TColor m_brush = clr::White;
    TColor m_pen = clr::Black;
    TColor m_fontColor = clr::Black;
    PenStyle m_style = PenStyle::Solid;
    int m_penWidth = 1;
    bool m_textTransparent = false;
    qint64 m_x = 0;
    qint64 m_y = 0;
};

} // namespace graphics
