#pragma once
// The graph panel of the sample page (Panel1): captions "矩阵图：" and
// "曲线图：", the LMNE scatter (Image1), the RBC, PLT and BAS histograms
// (Image2..Image4), and the RET scatter and spare picture (Image5, Image6)
// that lie beyond the panel's width and are never seen.
#include "graphics/drawgraphic.h"

#include <QWidget>

class QLabel;

namespace graphics {

class GraphPanel : public QWidget
{
    Q_OBJECT
public:
    explicit GraphPanel(QWidget *parent = nullptr);

    // Redraws the six pictures from the row; nullptr clears all six.
    void drawgraphic(const GraphRow *row);
    void drawgraphic(const GraphRow &row) { drawgraphic(&row); }
    void clear() { drawgraphic(nullptr); }

    // Image1..Image6 and their pictures (what the reports copy).
    QLabel *image(int n) const { return m_image[n]; }
    QImage picture(int n) const { return m_pictures.image[n]; }
    const GraphPictures &pictures() const { return m_pictures; }
    QLabel *Label8() const { return m_label8; }
    QLabel *Label9() const { return m_label9; }

    // The "1X", "2X", "3X" items of the quality-control grid's pop-up menu.
    void N1X1Click();
    void N2X1Click() {}
    void N3X1Click() {}

signals:
    // A double click on the panel or on Image1..Image4.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void showPictures();

    QLabel *m_image[7] = {};
    QLabel *m_label8 = nullptr;
    QLabel *m_label9 = nullptr;
    GraphPictures m_pictures;
};

} // namespace graphics
