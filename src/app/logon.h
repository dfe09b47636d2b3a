#pragma once
// The operator checks shared by the log-on and the password change.
#include "platform/db/dataset.h"

#include <QString>

namespace logon {

enum class Check { Ok, NoOperator, WrongPassword, DbError };

// When the operator table is empty, adds the default account 100/malvor
// (*created tells whether it did).
bool ensureDefaultAccount(QString *error, bool *created = nullptr);

// Opens "the operator with this number" on ds and compares the typed
// password, exactly as typed, with the stored one trimmed. A number that is
// not a whole number finds no operator. On Ok ds stands on the operator row.
Check checkOperator(db::Dataset &ds, const QString &number, const QString &password, QString *error);

// Stores the operator's new password exactly as given. False when the
// database refuses (its text in *error) or the operator is no longer there
// (*error left empty).
bool setPassword(const QVariant &no, const QString &password, QString *error);

} // namespace logon
