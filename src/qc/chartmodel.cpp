#include "qc/chartmodel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qc {

void ChartSeries::addXY(double x, double y)
{
    auto it = std::upper_bound(points.begin(), points.end(), x,
                               [](double v, const QPointF &p) { return v < p.x(); });
    points.insert(it, QPointF(x, y));
}

ChartSeries *ChartModel::find(const QString &name)
{
    for (ChartSeries &s : series)
        if (s.name == name)
            return &s;
    return nullptr;
}

const ChartSeries *ChartModel::find(const QString &name) const
{
    return const_cast<ChartModel *>(this)->find(name);
}

ChartSeries &ChartModel::get(const QString &name)
{
    if (ChartSeries *s = find(name))
        return *s;
    throw std::out_of_range("no chart series " + name.toStdString());
}

namespace {

ChartSeries line(const QString &name, const QColor &c, Qt::PenStyle style, double width)
{
    ChartSeries s;
    s.name = name;
    s.color = c;
    s.style = style;
    s.width = width;
    return s;
}

const QColor Lime(0, 255, 0);
const QColor Gray(128, 128, 128);
const QColor Silver(192, 192, 192);
const QColor Navy(0, 0, 128);

} // namespace

ChartModel screenChartModel()
{
    ChartModel m;
    m.titleFamily = QStringLiteral("黑体");
    m.titlePixels = 16; // 12 point on the 96-per-inch screen
    m.titleBold = true;
    m.titleColor = Qt::blue;
    m.left = {-6, 6, 2};
    m.bottom = {1, 31, 1};
    ChartSeries values = line(QStringLiteral("LineSeries1"), Qt::black, Qt::DotLine, 1);
    values.pointer = 3;
    values.pointerColor = Lime;
    m.series.push_back(values);
    m.series.push_back(line(QStringLiteral("Series1"), Gray, Qt::DotLine, 1));
    m.series.push_back(line(QStringLiteral("Series2"), Gray, Qt::DotLine, 1));
    m.series.push_back(line(QStringLiteral("Series3"), Qt::blue, Qt::SolidLine, 2));
    m.series.push_back(line(QStringLiteral("Series4"), Qt::blue, Qt::SolidLine, 2));
    m.series.push_back(line(QStringLiteral("Series5"), Qt::red, Qt::SolidLine, 1));
    m.series.push_back(line(QStringLiteral("Series6"), Qt::red, Qt::SolidLine, 1));
    m.series.push_back(line(QStringLiteral("Series7"), Qt::black, Qt::SolidLine, 1));
    return m;
}

ChartModel printChartModel(const ChartModel &screen)
{
    ChartModel m;
    m.title = screen.title;
    m.titleFamily = QStringLiteral("宋体");
    m.titlePixels = 21;
    m.titleBold = true;
    m.titleColor = Qt::blue;
    m.left = screen.left;
    m.bottom = screen.bottom;
    auto copy = [&](ChartSeries s) {
        if (const ChartSeries *from = screen.find(s.name))
            s.points = from->points;
        m.series.push_back(s);
    };
    // The +-2 SD lines are drawn last, over the values.
    copy(line(QStringLiteral("Series1"), Silver, Qt::DotLine, 1));
    copy(line(QStringLiteral("Series2"), Silver, Qt::DotLine, 1));
    copy(line(QStringLiteral("Series5"), Gray, Qt::SolidLine, 1));
    copy(line(QStringLiteral("Series6"), Gray, Qt::SolidLine, 1));
    copy(line(QStringLiteral("Series7"), Gray, Qt::SolidLine, 1));
    ChartSeries values = line(QStringLiteral("lineseries1"), Navy, Qt::DotLine, 1);
    values.pointer = 5;
    values.pointerColor = Lime;
    if (const ChartSeries *from = screen.find(QStringLiteral("LineSeries1")))
        values.points = from->points;
    m.series.push_back(values);
    copy(line(QStringLiteral("Series3"), Qt::black, Qt::SolidLine, 3));
    copy(line(QStringLiteral("Series4"), Qt::black, Qt::SolidLine, 3));
    return m;
}

QString axisLabel(double v)
{
    if (std::fabs(v) < 5e-9)
        v = 0;
    QString s = QString::number(v, 'f', 4);
    while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.'))))
        s.chop(1);
    return s;
}

QVector<double> ChartGeometry::leftLabels(const ChartAxis &axis)
{
    QVector<double> out;
    out.append(axis.minimum);
    if (!(axis.increment > 0) || !(axis.maximum > axis.minimum) || !std::isfinite(axis.increment))
        return out;
    const double steps = (axis.maximum - axis.minimum) / axis.increment;
    if (steps > 200) // a step too small to label: the ends only
        return {axis.minimum, axis.maximum};
    const int n = int(std::floor(steps + 1e-9));
    for (int i = 1; i <= n; ++i)
        out.append(axis.minimum + i * axis.increment);
    return out;
}

double ChartGeometry::xToPx(double x) const
{
    const double span = bottom.maximum - bottom.minimum;
    if (!(span > 0))
        return plot.center().x();
    return plot.left() + (x - bottom.minimum) / span * plot.width();
}

double ChartGeometry::yToPx(double y) const
{
    const double span = left.maximum - left.minimum;
    if (!(span > 0))
        return plot.center().y();
    return plot.bottom() - (y - left.minimum) / span * plot.height();
}

namespace {

QFont pixelFont(const QString &family, double pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

} // namespace

ChartGeometry chartGeometry(const ChartModel &model, const QRectF &rect, double scale)
{
    ChartGeometry g;
    g.left = model.left;
    g.bottom = model.bottom;
    const QFontMetricsF tfm(pixelFont(model.titleFamily, model.titlePixels * scale, model.titleBold));
    const QFontMetricsF lfm(pixelFont(model.labelFamily, model.labelPixels * scale, false));
    double top = rect.top() + 6 * scale + model.title.size() * tfm.height();
    double labelWidth = 0;
    for (double v : ChartGeometry::leftLabels(model.left))
        labelWidth = std::max(labelWidth, lfm.horizontalAdvance(axisLabel(v)));
    const double leftEdge = rect.left() + 8 * scale + labelWidth + 6 * scale;
    const double bottomEdge = rect.bottom() - 6 * scale - lfm.height() - 4 * scale;
    const double rightEdge = rect.right() - 14 * scale;
    top += lfm.height() / 2 + 4 * scale;
    g.plot = QRectF(QPointF(leftEdge, top), QPointF(std::max(rightEdge, leftEdge + 1), std::max(bottomEdge, top + 1)));
    return g;
}

void paintChart(QPainter &painter, const QRectF &rect, const ChartModel &model, double scale)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, Qt::white);
    const ChartGeometry g = chartGeometry(model, rect, scale);
    const QFont tfont = pixelFont(model.titleFamily, model.titlePixels * scale, model.titleBold);
    const QFont lfont = pixelFont(model.labelFamily, model.labelPixels * scale, false);
    const QFontMetricsF tfm(tfont);
    const QFontMetricsF lfm(lfont);

    // Title lines, centred.
    painter.setFont(tfont);
    painter.setPen(model.titleColor);
    double y = rect.top() + 4 * scale;
    for (const QString &line : model.title) {
        painter.drawText(QRectF(rect.left(), y, rect.width(), tfm.height()), Qt::AlignHCenter | Qt::AlignTop, line);
        y += tfm.height();
    }

    // Axes and their labels.
    QPen axisPen(Qt::black, std::max(1.0, scale));
    painter.setPen(axisPen);
    painter.drawLine(g.plot.bottomLeft(), g.plot.topLeft());
    painter.drawLine(g.plot.bottomLeft(), g.plot.bottomRight());
    painter.setFont(lfont);
    const double tick = 4 * scale;
    for (double v : ChartGeometry::leftLabels(model.left)) {
        const double py = g.yToPx(v);
        painter.drawLine(QPointF(g.plot.left() - tick, py), QPointF(g.plot.left(), py));
        const QRectF box(rect.left(), py - lfm.height() / 2, g.plot.left() - tick - 2 * scale - rect.left(), lfm.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, axisLabel(v));
    }
    const int firstDay = int(std::ceil(model.bottom.minimum - 1e-9));
    const int lastDay = int(std::floor(model.bottom.maximum + 1e-9));
    if (lastDay >= firstDay && lastDay - firstDay < 1000) {
        const double perDay = (lastDay > firstDay) ? (g.xToPx(firstDay + 1) - g.xToPx(firstDay)) : g.plot.width();
        const double need = lfm.horizontalAdvance(QStringLiteral("00")) + 4 * scale;
        const int step = perDay > 0 ? std::max(1, int(std::ceil(need / perDay))) : 1;
        for (int d = firstDay; d <= lastDay; d += step) {
            const double px = g.xToPx(d);
            painter.drawLine(QPointF(px, g.plot.bottom()), QPointF(px, g.plot.bottom() + tick));
            painter.drawText(QRectF(px - 20 * scale, g.plot.bottom() + tick, 40 * scale, lfm.height()),
                             Qt::AlignHCenter | Qt::AlignTop, QString::number(d));
        }
    }

    // Series, clipped to the axis box; circles may stand over its edge.
    for (const ChartSeries &s : model.series) {
        if (s.points.isEmpty())
            continue;
        QPolygonF poly;
        for (const QPointF &p : s.points)
            poly << QPointF(g.xToPx(p.x()), g.yToPx(p.y()));
        painter.save();
        painter.setClipRect(g.plot.adjusted(0, -1, 1, 1));
        QPen pen(s.color, std::max(1.0, s.width * scale));
        pen.setStyle(s.style);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (poly.size() > 1)
            painter.drawPolyline(poly);
        painter.restore();
        if (s.pointer > 0) {
            painter.save();
            painter.setClipRect(g.plot.adjusted(-s.pointer * scale, -s.pointer * scale, s.pointer * scale, s.pointer * scale));
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(Qt::black, std::max(1.0, 0.5 * scale)));
            painter.setBrush(s.pointerColor);
            const double r = s.pointer * scale / 2.0 + 0.5 * scale;
            for (const QPointF &p : poly)
                painter.drawEllipse(p, r, r);
            painter.restore();
        }
    }
    painter.restore();
}

} // namespace qc
