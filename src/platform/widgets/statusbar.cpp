#include "platform/widgets/statusbar.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <qdrawutil.h>

namespace {
constexpr int kGap = 2;     // between panels
constexpr int kPadding = 2; // text inside a panel
} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StatusBar::setPanels(const QVector<Panel> &panels)
{
    m_panels = panels;
    update();
}

int StatusBar::addPanel(const QString &text, int width, Qt::Alignment alignment)
{
    m_panels.append({text, width, alignment, QColor()});
    update();
    return m_panels.size() - 1;
}

void StatusBar::setPanelText(int i, const QString &text)
{
    if (i < 0 || i >= m_panels.size() || m_panels[i].text == text)
        return;
    m_panels[i].text = text;
    update();
}

QString StatusBar::panelText(int i) const
{
    return i >= 0 && i < m_panels.size() ? m_panels[i].text : QString();
}

void StatusBar::setPanelWidth(int i, int width)
{
    if (i < 0 || i >= m_panels.size())
        return;
    m_panels[i].width = qMax(0, width);
    update();
}

int StatusBar::panelWidth(int i) const
{
    return i >= 0 && i < m_panels.size() ? m_panels[i].width : 0;
}

void StatusBar::setPanelAlignment(int i, Qt::Alignment alignment)
{
    if (i < 0 || i >= m_panels.size())
        return;
    m_panels[i].alignment = alignment;
    update();
}

Qt::Alignment StatusBar::panelAlignment(int i) const
{
    return i >= 0 && i < m_panels.size() ? m_panels[i].alignment : Qt::AlignLeft;
}

void StatusBar::setPanelColor(int i, const QColor &color)
{
    if (i < 0 || i >= m_panels.size())
        return;
    m_panels[i].color = color;
    update();
}

QRect StatusBar::panelRect(int i) const
{
    if (i < 0 || i >= m_panels.size())
        return QRect();
    int x = 0;
    for (int k = 0; k < i; ++k)
        x += m_panels[k].width;
    int w = m_panels[i].width;
    if (i == m_panels.size() - 1 && x + w < width())
        w = width() - x;
    return QRect(x, kGap, qMax(0, w - kGap), height() - kGap);
}

QSize StatusBar::sizeHint() const
{
    int w = 0;
    for (const Panel &p : m_panels)
        w += p.width;
    return QSize(w, fontMetrics().height() + 2 * kPadding + kGap + 2);
}

QSize StatusBar::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void StatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    for (int i = 0; i < m_panels.size(); ++i) {
        const QRect r = panelRect(i);
        if (r.width() <= 0 || r.left() >= width())
            continue;
        qDrawShadePanel(&p, r, palette(), true, 1);
        const QRect tr = r.adjusted(kPadding, 1, -kPadding, -1);
        p.setPen(m_panels[i].color.isValid() ? m_panels[i].color : palette().color(QPalette::WindowText));
        // Text wider than its panel is cut off at the panel's edge.
        p.save();
        p.setClipRect(tr);
        p.drawText(tr, int(m_panels[i].alignment | Qt::AlignVCenter), m_panels[i].text);
        p.restore();
    }
}

void StatusBar::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    if (onResize)
        onResize(*this);
    update();
}
