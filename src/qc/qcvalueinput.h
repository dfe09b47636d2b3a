#pragma once
// Correction window: one day's control value of the item and material that
// the control page shows. Modeless and on top; the value is stored when the
// value edit loses the focus to the day edit.
#include <QDialog>
#include <functional>

class QKeyEvent;
class QLabel;
class QLineEdit;

class Tfrmqcvalueinput : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmqcvalueinput(QWidget *parent = nullptr);

    void FormShow();
    // Key filters: true when the key is swallowed.
    bool Edit1KeyPress(QKeyEvent *e);
    bool Edit2KeyPress(QKeyEvent *e);
    void Edit2Exit();

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr;

    // Stores the typed day's value for the control page's item and
    // material; false keeps the day edit open for another try.
    std::function<bool(const QString &dayText, const QString &value)> store;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    bool keyPress(QLineEdit *edit, QKeyEvent *e);
};

extern Tfrmqcvalueinput *frmqcvalueinput;
