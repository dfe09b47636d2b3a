#include "qc/qcvalueinput.h"


#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

Tfrmqcvalueinput *frmqcvalueinput = nullptr;

Tfrmqcvalueinput::Tfrmqcvalueinput(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmqcvalueinput"));
    setWindowTitle(QStringLiteral("质控数据修改"));
    setModal(false);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(220, 84);
    Label1 = new QLabel(QStringLiteral("日期："), this);
    Label1->setGeometry(12, 14, 48, 16);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(64, 10, 60, 22);
    Label3 = new QLabel(QStringLiteral("(1...31)"), this);
    Label3->setGeometry(130, 14, 70, 16);
    Label2 = new QLabel(QStringLiteral("质控值"), this);
    Label2->setGeometry(12, 48, 48, 16);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(64, 44, 100, 22);
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
}

void Tfrmqcvalueinput::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void Tfrmqcvalueinput::FormShow()
{
    Edit1->clear();
    Edit2->clear();
    Edit1->setFocus();
}

bool Tfrmqcvalueinput::keyPress(QLineEdit *edit, QKeyEvent *e)
{
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        (edit == Edit1 ? Edit2 : Edit1)->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return false;
    const QString text = e->text();
    if (text.isEmpty())
        return false; // keys without a character (arrows, Delete) work as usual
    if (key == Qt::Key_Delete)
        return false;
    const QChar c = text.at(0);
    const bool allowed = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.')
                         || c == QLatin1Char('%') || c == QLatin1Char('\'');
    return !allowed;
}

bool Tfrmqcvalueinput::Edit1KeyPress(QKeyEvent *e) { return keyPress(Edit1, e); }
bool Tfrmqcvalueinput::Edit2KeyPress(QKeyEvent *e) { return keyPress(Edit2, e); }

bool Tfrmqcvalueinput::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (watched == Edit1 && Edit1KeyPress(k))
            return true;
        if (watched == Edit2 && Edit2KeyPress(k))
            return true;
    } else if (e->type() == QEvent::FocusOut && watched == Edit2) {
        // Only a move inside the window stores: switching to another window
        // or opening a menu is no exit from the edit.
        const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
            Edit2Exit();
    }
    return QDialog::eventFilter(watched, e);
}

void Tfrmqcvalueinput::Edit2Exit()
{
    if (!store)
        return;
    if (!store(Edit1->text(), Edit2->text()))
        Edit1->setFocus(Qt::OtherFocusReason);
}
