#pragma once
// The control chart as plain data and its one renderer: title lines, a left
// (value) axis and a bottom (day) axis with fixed ranges, and line series
// drawn in order. The page's chart widget and the printout both paint a model
// with paintChart(), so what prints is what the page shows.
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

class QPainter;

namespace qc {

struct ChartAxis
{
    double minimum = 0;
    double maximum = 1;
    double increment = 1;   // distance between labels; <= 0: a label at the minimum only
};

struct ChartSeries
{
    QString name;
    QColor color = Qt::black;
    Qt::PenStyle style = Qt::SolidLine;
    double width = 1;        // layout pixels
    int pointer = 0;         // circle size in layout pixels, 0 = no circles
    QColor pointerColor = Qt::green;
    QVector<QPointF> points; // kept in ascending x order

    void clear() { points.clear(); }
    // Adds a point at the next index as x (0, 1, 2, ...).
    void add(double y) { points.append(QPointF(points.size(), y)); }
    // Adds a point keeping the x order (later equal x after earlier ones).
    void addXY(double x, double y);
};

struct ChartModel
{
    QStringList title;
    QString titleFamily = QStringLiteral("黑体");
    double titlePixels = 16;          // text height in layout pixels
    bool titleBold = true;
    QColor titleColor = Qt::blue;
    QString labelFamily = QStringLiteral("Arial");
    double labelPixels = 11;
    ChartAxis left{-6, 6, 2};
    ChartAxis bottom{1, 31, 1};
    std::vector<ChartSeries> series;  // drawing order: later ones on top

    ChartSeries *find(const QString &name);
    const ChartSeries *find(const QString &name) const;
    ChartSeries &get(const QString &name); // throws std::out_of_range when missing
};

// The chart of the control page: LineSeries1 (values) and Series1..Series7
// (mean +-1, +-2, +-3 SD and mean) in the page's colours, design axes.
ChartModel screenChartModel();
// The printout's chart: the same data in the printout's colours and drawing
// order, with its own title font.
ChartModel printChartModel(const ChartModel &screen);

// Where things land when a model is painted into a rectangle. scale is device
// pixels per layout pixel (1 on the screen).
struct ChartGeometry
{
    QRectF plot;        // the axis box
    ChartAxis left, bottom;
    double xToPx(double x) const;
    double yToPx(double y) const;
    // The label texts of the left axis, from its minimum in increments.
    static QVector<double> leftLabels(const ChartAxis &axis);
};
ChartGeometry chartGeometry(const ChartModel &model, const QRectF &rect, double scale = 1);

void paintChart(QPainter &painter, const QRectF &rect, const ChartModel &model, double scale = 1);

// Axis label text: whole numbers without decimals, others with up to four.
QString axisLabel(double v);

} // namespace qc
