#include "qc/qcreport.h"

#include "base/currency.h"

#include <QPainter>
#include <memory>

using report::Align;
using report::FontSpec;
using report::ItemKind;
using report::ReportForm;
using report::ReportItem;

namespace qc {

namespace {

FontSpec font(const QString &family, double pt, bool bold = false, bool italic = false)
{
    FontSpec f;
    f.family = family;
    f.pointSize = pt;
    f.bold = bold;
    f.italic = italic;
    return f;
}

const int CellHeight = 20;
const int CellWidth = 35;
const int CellStep = 34;
const int RowStep = 42;
const int FirstRow = 16;

} // namespace

report::ReportForm frmqcreportDesign()
{
    ReportForm f;
    f.className = QStringLiteral("Tfrmqcreport");
    f.instanceName = QStringLiteral("frmqcreport");
    f.unitName = QStringLiteral("qcreport");
    // The name the preview window and the print queue show the user.
    f.title = QStringLiteral("质控图");
    f.bandName = QStringLiteral("TitleBand1");
    f.pageSize = QPageSize(QPageSize::A4);
    f.orientation = QPageLayout::Landscape;
    f.setMargins(10, 10, 10, 10);
    f.zoom = 60;
    f.bandMm = QSizeF(277.37, 187.85);

    ReportItem chart;
    chart.kind = ItemKind::Chart;
    chart.name = QStringLiteral("QRChart1");
    chart.mm = QRectF(10.58, 7.06, 257.97, 127.44);
    f.add(chart, false);

    ReportItem l1 = report::makeLabel(QStringLiteral("QRLabel1"), QStringLiteral("质控结果："),
                                      font(QStringLiteral("宋体"), 12, true), 21.17, 137.58, 40, 4.41);
    l1.wordWrap = true;
    l1.background = Qt::white;
    f.add(l1, false);
    ReportItem l2 = report::makeLabel(QStringLiteral("QRLabel2"), QString(),
                                      font(QStringLiteral("宋体"), 9, false, true), 232.83, 14.11, 20, 4.0,
                                      Align::Center);
    l2.background = Qt::white;
    f.add(l2, false);
    return f;
}

int dayCellCount(int limitPoints)
{
    return FirstRow + std::max(0, limitPoints - 17);
}

QRect dayCellPx(const ReportForm &form, int day)
{
    const QRect label = form.px(QStringLiteral("QRLabel1"));
    const int top0 = label.top() + label.height() + 2;
    const int left0 = label.left();
    const int row = day <= FirstRow ? 1 : 2;
    const int column = day <= FirstRow ? day - 1 : day - FirstRow - 1;
    return QRect(left0 + CellStep * column, top0 + RowStep * (row - 1), CellWidth, CellHeight);
}

void fillQcReport(ReportForm &form, const ChartModel &screen, const QString &hospital, const QString &caption)
{
    auto model = std::make_shared<ChartModel>(printChartModel(screen));
    model->titleFamily = report::reportFace(model->titleFamily);
    form.item(QStringLiteral("QRChart1")).chart = [model](QPainter &p, const QRectF &rect, double pxPerMm) {
        // The chart's sizes are layout pixels of a 96-per-inch page.
        paintChart(p, rect, *model, pxPerMm * 25.4 / 96.0);
    };
    form.setCaption(QStringLiteral("QRLabel2"), hospital);

    const ChartSeries *limits = screen.find(QStringLiteral("Series1"));
    const int cells = dayCellCount(limits ? int(limits->points.size()) : 0);
    const FontSpec cellFont = font(QStringLiteral("Arial"), 10);
    auto rect = [&](const QString &name, const QRect &px) {
        ReportItem it;
        it.kind = ItemKind::Rect;
        it.name = name;
        it.penWidth = 1;
        it.setPxRect(px, form.zoom);
        form.add(it);
    };
    auto label = [&](const QString &name, const QString &text, const QRect &px) {
        ReportItem it;
        it.kind = ItemKind::Label;
        it.name = name;
        it.text = text;
        it.font = cellFont;
        it.align = Align::Center;
        it.autoSize = false;
        it.setPxRect(px, form.zoom);
        // A text wider than its cell prints smaller rather than across the
        // cell's frame into the neighbouring day.
        it.maxWidthMm = it.mm.width();
        form.add(it);
    };
    for (int k = 1; k <= cells; ++k) {
        const QRect day = dayCellPx(form, k);
        const QRect value = day.translated(0, CellHeight - 1);
        rect(QStringLiteral("dayshape%1").arg(k), day);
        rect(QStringLiteral("valueshape%1").arg(k), value);
        label(QStringLiteral("daylabel%1").arg(k), QString::number(k), QRect(day.left() + 1, day.top() + 3, 30, 16));
    }
    if (const ChartSeries *values = screen.find(QStringLiteral("LineSeries1"))) {
        for (int i = 0; i < values->points.size(); ++i) {
            const QPointF pt = values->points[i];
            const int d = int(pt.x());
            if (d < 1 || d > cells)
                continue;
            const QRect value = dayCellPx(form, d).translated(0, CellHeight - 1);
            const std::optional<Currency> c = Currency::fromDouble(pt.y());
            // Centred in its own cell, inside the frame's pen.
            label(QStringLiteral("valuelabel%1").arg(i + 1), c ? c->shortest() : QString::number(pt.y()),
                  QRect(value.left() + 2, value.top() + 3, CellWidth - 4, 16));
        }
    }
    form.setCaption(QStringLiteral("QRLabel1"), caption);
}

} // namespace qc
