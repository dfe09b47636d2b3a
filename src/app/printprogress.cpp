#include "app/printprogress.h"

#include <QApplication>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

Tfrmprintprogress *frmprintprogress = nullptr;

Tfrmprintprogress::Tfrmprintprogress(QWidget *parent)
    // No parent window of its own: the main window is disabled while it shows.
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmprintprogress"));
    setWindowTitle(QStringLiteral("打印进度"));
    setModal(false);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    l->addWidget(ProgressBar1);
    setFixedSize(345, 24);
}

void Tfrmprintprogress::showNow()
{
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

Tfrmprintprogress *printProgressWindow()
{
    if (!frmprintprogress)
        frmprintprogress = new Tfrmprintprogress;
    return frmprintprogress;
}

void showPrintProgress(int maximum, int position)
{
    Tfrmprintprogress *w = printProgressWindow();
    w->ProgressBar1->setMaximum(maximum);
    w->ProgressBar1->setValue(position);
    w->showNow();
}

void closePrintProgress()
{
    if (frmprintprogress)
        frmprintprogress->close();
}
