#pragma once
// Text measurement at printer resolution, shared by the form and by
// resolve(), so the width a label takes when its caption is set is the width
// it prints with. Measuring on a 96-per-inch grid would round every advance
// to a whole screen pixel: a 10 pt line of digits then comes out 3 % short.
#include "platform/report/reportform.h"

#include <QStringList>

class QPaintDevice;

namespace report::detail {

constexpr double LayoutDpi = 1200;
QPaintDevice *layoutDevice();
inline double layoutToMm(double dots) { return dots * 25.4 / LayoutDpi; }
inline double mmToLayout(double mm) { return mm * LayoutDpi / 25.4; }
// The longest start of a text that is at most widthMm wide.
QString cutToWidth(const QString &text, const FontSpec &font, double widthMm);
// The box an auto-sized text takes: its width follows the text, the left edge
// stays (centred: the centre stays, right-aligned: the right edge stays); the
// height never shrinks below the stored one.
QRectF autoSizedBox(const ReportItem &item, const QString &text);
// The lines a text breaks into within a width (millimetres); explicit line
// breaks are kept.
QStringList wrapLines(const QString &text, const FontSpec &font, double widthMm);

} // namespace report::detail
