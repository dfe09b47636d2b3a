#pragma once
// A small circle filled with a brush colour: the receive lamp.
#include <QColor>
#include <QWidget>

class Lamp : public QWidget
{
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent = nullptr);

    void setBrushColor(const QColor &c);
    QColor brushColor() const { return m_brush; }
    void setPenColor(const QColor &c);
    QColor penColor() const { return m_pen; }

    QSize sizeHint() const override { return QSize(13, 13); }

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QColor m_brush = Qt::white;
    QColor m_pen = Qt::black;
};
