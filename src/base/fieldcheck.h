#pragma once
// What the typed columns of the reference and control tables take. A value
// that does not fit is refused with a message naming the column as the user
// sees it; the rest of the row stays as typed.
#include "platform/db/dataset.h"

namespace fieldcheck {

// A 16-bit whole number (-32768 to 32767) as the whole-number parser reads
// it (decimal, or hexadecimal after "$" or "0x"), with optional blanks around it.
bool smallInt(const QString &caption, QVariant &value, QString *why);
// A number kept to four decimals, within the range of the scaled 64-bit type.
bool currency(const QString &caption, QVariant &value, QString *why);
// Text of at most `width` characters.
db::FieldDef::Check text(int width);

} // namespace fieldcheck
