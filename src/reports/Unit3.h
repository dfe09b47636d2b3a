#pragma once
// The range dialog of batch printing: first and last sample number.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QKeyEvent;

class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // 1 when the dialog was closed with "确定".
    quint8 okflag() const { return m_okflag; }

    void FormShow();
    // The key filter of both edits: true when the key is dropped.
    bool Edit1KeyPress(QKeyEvent *e);
    void Button1Click(); // "确定"
    void Button2Click(); // "取消"

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    quint8 m_okflag = 0;
};

// True when a key typed into a range box is refused: anything but digits,
// Backspace and the characters also allowed; moving keys always pass.
bool rangeKeyRefused(const QKeyEvent *e, const QString &alsoAllowed);

extern TForm3 *Form3;
// The dialog made at start-up; made here when start-up has not made it yet.
TForm3 *form3Window();
