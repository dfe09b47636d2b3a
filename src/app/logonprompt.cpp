#include "app/logonprompt.h"

#include "app/logon.h"
#include "platform/widgets/dialogs.h"

#include <QLineEdit>

namespace logon {

bool confirmOperator(db::Dataset &ds, QLineEdit *number, QLineEdit *password, const QString &wrongPasswordText,
                     QWidget *parent)
{
    QString error;
    switch (checkOperator(ds, number->text(), password->text(), &error)) {
    case Check::DbError:
        dlg::error(error, parent);
        return false;
    case Check::NoOperator:
        dlg::message(QStringLiteral("无该编号的检验者！"), parent);
        number->setFocus();
        return false;
    case Check::WrongPassword:
        dlg::message(wrongPasswordText, parent);
        password->clear();
        password->setFocus();
        return false;
    case Check::Ok:
        break;
    }
    return true;
}

} // namespace logon
