#include "graphics/graphpanel.h"

#include "graphics/graphdraw.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>

namespace graphics {

namespace {

QLabel *caption(QWidget *parent, const char *name, const QString &text, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(16);
    f.setBold(true);
    f.setItalic(true);
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(toRgb(clr::Maroon)));
    l->setPalette(p);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

GraphPanel::GraphPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel1"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(toRgb(kPanelColor)));
    setPalette(pal);
    // Client width 158: Image5 and Image6 at x = 164 lie outside it.
    setFixedWidth(158);
    setMinimumHeight(480);

    m_label8 = caption(this, "Label8", QStringLiteral("矩阵图："), 8, 24);
    m_label9 = caption(this, "Label9", QStringLiteral("曲线图："), 8, 224);

    static const struct { int x, y, w, h; bool stretch; } geo[7] = {
        {0, 0, 0, 0, false},
        {12, 60, 142, 142, true},  {12, 254, 142, 60, false}, {12, 330, 142, 60, false},
        {12, 412, 142, 60, false}, {164, 66, 142, 142, true}, {164, 254, 142, 60, false}};
    m_pictures = blankGraphPictures();
    for (int n = 1; n <= 6; ++n) {
        auto *l = new QLabel(this);
        l->setObjectName(QStringLiteral("Image%1").arg(n));
        l->setGeometry(geo[n].x, geo[n].y, geo[n].w, geo[n].h);
        l->setScaledContents(geo[n].stretch);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (n <= 4)
            l->installEventFilter(this);
        m_image[n] = l;
    }
    showPictures();
}

void GraphPanel::drawgraphic(const GraphRow *row)
{
    graphics::drawgraphic(m_pictures, row);
    showPictures();
}

void GraphPanel::showPictures()
{
    for (int n = 1; n <= 6; ++n)
        m_image[n]->setPixmap(QPixmap::fromImage(m_pictures.image[n]));
}

void GraphPanel::N1X1Click()
{
    // The scatter is only ever drawn at scale 1: 142 pixels high.
    m_image[1]->resize(m_image[1]->width(), 142);
}

void GraphPanel::mouseDoubleClickEvent(QMouseEvent *e)
{
    QWidget::mouseDoubleClickEvent(e);
    emit doubleClicked();
}

bool GraphPanel::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        emit doubleClicked();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace graphics
