#pragma once
// Records that could not go into the database are written, exactly as they
// were received, to a file of their own beside the database file
// (jykdb-unsaved-YYYYMMDD-hhmmss.txt), where staff can find them and the
// simulator or a second sending can replay them.
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace intake {

// The name a file written at `when` gets beside `databasePath`; a number is
// added when that name is taken.
QString unsavedFilePath(const QString &databasePath, const QDateTime &when);

// Writes bytes to a new such file and flushes it to the disk. Returns its
// path, or an empty text with the reason in *error.
QString writeUnsaved(const QString &databasePath, const QByteArray &bytes, QString *error = nullptr);

} // namespace intake
