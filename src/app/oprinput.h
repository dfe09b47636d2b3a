#pragma once
// The log-on window: the first window created, so the program ends when it
// closes. After a good log-on it hides, tidies the day's patient rows and
// runs the main window.
#include "platform/db/dataset.h"
#include "platform/db/errortext.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class Tfrmoprput : public QWidget
{
    Q_OBJECT
public:
    explicit Tfrmoprput(QWidget *parent = nullptr);

    void Edit1KeyPress(int key);
    void Edit2KeyPress(int key);
    void Button1Click(); // "登录"
    void Button2Click(); // "退出"

    QLabel *Image1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    db::Dataset *ADODataSet1 = nullptr; // holds the logged-on operator's row

    // The fault of the database file itself (read-only, full...) that this
    // log-on has told the user, None when it told none: the main window's
    // start-up does not tell the same fault a second time.
    db::FileFault toldFault() const { return m_toldFault; }

    // Runs the main window after a good log-on; tests replace it.
    std::function<void()> runMainWindow;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    db::FileFault m_toldFault = db::FileFault::None;
};

extern Tfrmoprput *frmoprput;

