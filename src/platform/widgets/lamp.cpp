#include "platform/widgets/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent)
    : QWidget(parent)
{
}

void Lamp::setBrushColor(const QColor &c)
{
    if (c == m_brush)
        return;
    m_brush = c;
    update();
}

void Lamp::setPenColor(const QColor &c)
{
    if (c == m_pen)
        return;
    m_pen = c;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // A circle of the smaller side, centred, as a circle shape is drawn.
    const int d = qMin(width(), height()) - 1;
    if (d <= 0)
        return;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    p.setPen(QPen(m_pen, 1));
    p.setBrush(m_brush);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
}
