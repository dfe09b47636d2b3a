#include "qc/qcchartview.h"

#include <QImage>
#include <QPainter>

QcChartView::QcChartView(QWidget *parent)
    : QWidget(parent), m_model(qc::screenChartModel())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage QcChartView::grabChart(const QSize &size) const
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    qc::paintChart(p, QRectF(QPointF(0, 0), QSizeF(size)), m_model, 1);
    return img;
}

void QcChartView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    qc::paintChart(p, QRectF(rect()), m_model, 1);
}
