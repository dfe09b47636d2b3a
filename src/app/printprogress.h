#pragma once
// The print-progress window: a stay-on-top bar shown while reports print.
#include <QDialog>

class QProgressBar;

class Tfrmprintprogress : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmprintprogress(QWidget *parent = nullptr);

    QProgressBar *ProgressBar1 = nullptr;

    // Shows the window without waiting and paints it at once (the print
    // that follows keeps the event loop busy).
    void showNow();
};

extern Tfrmprintprogress *frmprintprogress;
// The window made at start-up; made here when start-up has not made it yet.
Tfrmprintprogress *printProgressWindow();

// Shows the progress window at a position; closePrintProgress() takes it
// away (callers pair it with a scope guard so that every way out does).
void showPrintProgress(int maximum, int position);
void closePrintProgress();
