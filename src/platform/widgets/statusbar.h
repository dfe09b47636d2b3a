#pragma once
// A status bar of panels with fixed pixel widths: each panel has its text, width and alignment, drawn in a sunken
// bevel; the last panel also fills whatever room is left. The window's
// resize handler is called on every resize to share out the widths.
#include <QColor>
#include <QVector>
#include <QWidget>
#include <functional>

class StatusBar : public QWidget
{
    Q_OBJECT
public:
    struct Panel
    {
        QString text;
        int width = 50;
        Qt::Alignment alignment = Qt::AlignLeft;
        QColor color; // invalid: the palette's text colour
    };

    explicit StatusBar(QWidget *parent = nullptr);

    void setPanels(const QVector<Panel> &panels);
    int addPanel(const QString &text, int width, Qt::Alignment alignment = Qt::AlignLeft);
    int panelCount() const { return m_panels.size(); }

    // Out-of-range indexes are ignored (reads give "" and 0).
    void setPanelText(int i, const QString &text);
    QString panelText(int i) const;
    void setPanelWidth(int i, int width);
    int panelWidth(int i) const;
    void setPanelAlignment(int i, Qt::Alignment alignment);
    Qt::Alignment panelAlignment(int i) const;
    void setPanelColor(int i, const QColor &color);
    // Where panel i is drawn, in the bar's coordinates.
    QRect panelRect(int i) const;

    // Called after every change of the bar's size, to share out the widths.
    std::function<void(StatusBar &)> onResize;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    QVector<Panel> m_panels;
};
