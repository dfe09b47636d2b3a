#include "app/pssinput.h"

#include "app/logon.h"
#include "app/logonprompt.h"
#include "platform/widgets/dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Tfrmpssinput *frmpssinput = nullptr;

Tfrmpssinput::Tfrmpssinput(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmpssinput"));
    setWindowTitle(QStringLiteral("修改密码"));
    setFixedSize(300, 190);
    const struct { const char *text; int y; } rows[] = {{"输入编号：", 20}, {"旧 密 码：", 56}, {"新 密 码：", 92}};
    QLineEdit **edits[] = {&Edit1, &Edit2, &Edit3};
    for (int i = 0; i < 3; ++i) {
        auto *l = new QLabel(QString::fromUtf8(rows[i].text), this);
        l->setGeometry(40, rows[i].y + 2, 80, 21);
        *edits[i] = new QLineEdit(this);
        (*edits[i])->setGeometry(124, rows[i].y, 130, 24);
    }
    Edit2->setEchoMode(QLineEdit::Password);
    Edit2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Edit3->setEchoMode(QLineEdit::Password);
    Edit3->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setGeometry(60, 140, 75, 27);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setGeometry(165, 140, 75, 27);
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    ADODataSet1 = new db::Dataset(this);
    connect(Button1, &QPushButton::clicked, this, &Tfrmpssinput::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmpssinput::Button2Click);
}

void Tfrmpssinput::Button1Click()
{
    if (!logon::confirmOperator(*ADODataSet1, Edit1, Edit2, QStringLiteral("密码不对，请得输！"), this))
        return;
    // The new password is kept exactly as typed, empty allowed.
    QString e;
    if (!logon::setPassword(ADODataSet1->value(QStringLiteral("no")), Edit3->text(), &e)) {
        dlg::error(e.isEmpty() ? QStringLiteral("密码未能保存") : e, this);
        return;
    }
    dlg::message(QStringLiteral("密码已修改，请牢记！"), this);
}

void Tfrmpssinput::Button2Click()
{
    close();
}
