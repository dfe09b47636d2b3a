#pragma once
// A database failure as the staff read it. SQLite's own texts for a file that
// is locked, read-only, full, damaged or failing on disk become one Chinese
// sentence of what happened and what to do, followed by the database's own
// text in brackets. Every message box of the program and every status text
// of the receive path go through it, so a failure reads the same wherever
// it is met.
#include <QString>

namespace db {

enum class FileFault { None, Locked, ReadOnly, Full, Damaged, DiskError, CannotOpen };

// The fault an SQLite text names; None for any other text.
FileFault fileFault(const QString &databaseText);

// The sentence for the fault of `databaseText` with that text in brackets.
// Any other text, and a text already told this way, comes back unchanged.
QString describeError(const QString &databaseText);
// The same while the file is being opened: the program cannot start, so a
// locked file asks for the other program to be closed and the system
// started again.
QString describeOpenError(const QString &databaseText);
// The sentence of a fault found without SQLite (a damaged file header), with
// `detail` in brackets.
QString describeFault(FileFault fault, const QString &detail);

} // namespace db
