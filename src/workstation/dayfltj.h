#pragma once
// The workload window: the number of samples tested between two days, over
// the day's samples and the archived ones together. It writes nothing.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class StatusBar;

class Tfrmdayfltj : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmdayfltj(QWidget *parent = nullptr);
    ~Tfrmdayfltj() override;

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    QLineEdit *Edit1 = nullptr;   // first day
    QLineEdit *Edit2 = nullptr;   // last day
    QPushButton *Button1 = nullptr;
    StatusBar *StatusBar1 = nullptr;

    // Both days become the work date; the count and the progress text clear.
    void FormShow();
    void Button1Click(); // "统计"

protected:
    void showEvent(QShowEvent *e) override;
};

extern Tfrmdayfltj *frmdayfltj;
// The window made at start-up; made here when start-up has not made it yet.
Tfrmdayfltj *workloadWindow();
