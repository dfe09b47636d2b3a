#pragma once
// The operator check as the log-on and the password windows put it to the
// user.
#include "platform/db/dataset.h"

#include <QString>

class QLineEdit;
class QWidget;

namespace logon {

// Checks the number and password typed into the two edits. When they do not
// pass, says why and puts the cursor where the fix goes (a wrong password is
// cleared first); each window words the wrong-password message its own way.
// On true ds stands on the operator row.
bool confirmOperator(db::Dataset &ds, QLineEdit *number, QLineEdit *password, const QString &wrongPasswordText,
                     QWidget *parent);

} // namespace logon
