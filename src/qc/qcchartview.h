#pragma once
// The control chart on the control page: a widget that paints its model.
#include "qc/chartmodel.h"

#include <QWidget>

class QcChartView : public QWidget
{
    Q_OBJECT
public:
    explicit QcChartView(QWidget *parent = nullptr);

    qc::ChartModel &model() { return m_model; }
    const qc::ChartModel &model() const { return m_model; }
    // The chart as it would show at a size, for tests and pictures.
    QImage grabChart(const QSize &size) const;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    qc::ChartModel m_model;
};
