#pragma once
// Results typed by hand for the main list's current sample: an item by its
// number or abbreviation, Enter, its value, Enter, and so on; an empty value
// with Enter steps to the next sample; Esc ends. Built for the keyboard: the
// item stays after a value is stored, so a correction is one Enter away.
#include <QDialog>
#include <QVariant>
#include <functional>

namespace db { class Dataset; }

class QLabel;
class QLineEdit;

class Tfrmresultinput : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmresultinput(QWidget *parent = nullptr);

    QLineEdit *Edit1 = nullptr; // item number or abbreviation
    QLabel *Label2 = nullptr;   // "指标名称：" and the item found
    QLineEdit *Edit2 = nullptr; // the value

    // itemid of the item found by the last look-up; -1 when it found nothing.
    QVariant curitemid = -1;

    // The main window's sample list, the current sample's results and the
    // operator who is logged on; a value is stored only with a list.
    db::Dataset *sampleList = nullptr;
    db::Dataset *results = nullptr;
    std::function<QString()> currentOperator;

    void FormShow();
    bool FormKeyPress(QKeyEvent *e);
    bool Edit1KeyPress(QKeyEvent *e);
    void Edit1Exit();
    bool Edit2KeyPress(QKeyEvent *e);
    void Edit2Exit();

    void done(int r) override;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    bool m_closing = false;
    bool m_handling = false; // focus moved by a handler that does the leave's work itself
};

extern Tfrmresultinput *frmresultinput;
