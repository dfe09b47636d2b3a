#pragma once
// Text measurement on the 96-per-inch layout grid, shared by the form and by
// resolve(), so the width a label takes when its caption is set is the width
// it prints with.
#include "platform/report/reportform.h"

#include <QStringList>

class QPaintDevice;

namespace report::detail {

QPaintDevice *layoutDevice();
// The box an auto-sized text takes: its width follows the text, the left edge
// stays (centred: the centre stays, right-aligned: the right edge stays); the
// height never shrinks below the stored one.
QRectF autoSizedBox(const ReportItem &item, const QString &text);
// The lines a text breaks into within a width (millimetres); explicit line
// breaks are kept.
QStringList wrapLines(const QString &text, const FontSpec &font, double widthMm);

} // namespace report::detail
