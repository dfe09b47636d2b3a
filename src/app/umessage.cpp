#include "app/umessage.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>

Tfrmmessage *frmmessage = nullptr;

Tfrmmessage::Tfrmmessage(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmmessage"));
    setWindowTitle(QStringLiteral("提示"));
    setFixedSize(381, 27);
    QFont songti(QStringLiteral("宋体"));
    songti.setPixelSize(12);
    setFont(songti);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setLineWidth(1);
    Bevel1->setGeometry(0, 0, 381, 27);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 8);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

Tfrmmessage::~Tfrmmessage()
{
    if (frmmessage == this)
        frmmessage = nullptr;
}

void Tfrmmessage::setText(const QString &text)
{
    Label1->setText(text);
    Label1->adjustSize();
    if (isVisible())
        repaint();
}

Tfrmmessage *showMessageWindow(const QString &text)
{
    // A window left over from an operation that never freed it goes first.
    freeMessageWindow();
    frmmessage = new Tfrmmessage;
    frmmessage->show();
    // Let the window system map it; the operation that follows blocks, so
    // this is the last chance. User input waits until the operation is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    frmmessage->setText(text);
    return frmmessage;
}

void freeMessageWindow()
{
    if (!frmmessage)
        return;
    Tfrmmessage *w = frmmessage;
    frmmessage = nullptr;
    w->close();
    delete w;
}

void MessageWindowScope::setText(const QString &text)
{
    if (frmmessage)
        frmmessage->setText(text);
}
