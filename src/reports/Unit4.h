#pragma once
// The stub list's dialog: every listed sample, or a range of sample numbers.
#include <QDialog>

class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *RadioButton1 = nullptr;   // "全部"
    QRadioButton *RadioButton2 = nullptr;   // "部分"
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // 1 when the dialog was closed with "确定" (or Enter in the range box).
    quint8 okflag() const { return m_okflag; }

    void FormShow();
    void RadioButton1Click(); // "全部"
    void RadioButton2Click(); // "部分"
    void Button1Click(); // "确定"
    void Button2Click(); // "取消"
    // The range box's key filter: true when the key is dropped.
    bool Edit1KeyPress(QKeyEvent *e);

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    quint8 m_okflag = 0;
};

extern TForm4 *Form4;
// The dialog made at start-up; made here when start-up has not made it yet.
TForm4 *form4Window();
