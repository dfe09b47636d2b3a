#pragma once
// The backup copy of the database file (jykdb.mbk beside jykdb.mdb) and its
// restore over the live file.
#include <QSqlDatabase>
#include <QString>

namespace dbcopy {

// The backup file that belongs to a database file: jykdb.mbk in its folder.
QString backupPathFor(const QString &databasePath);

// Writes a consistent copy of the open database to backupPath, replacing an
// earlier backup only once the new one is complete. The database stays
// connected and in use. False with the reason in *error.
bool backupDatabase(QSqlDatabase db, const QString &backupPath, QString *error);

// True when backupPath is a file that can be restored (present, readable, an
// SQLite database file). Checked before anything is disconnected.
bool backupUsable(const QString &backupPath, QString *error);

// Replaces the database file of the program's connection by the backup and
// connects it again. On any failure the old file is put back and connected,
// and false is returned with the reason. Either way the program's connection
// is open afterwards unless *error says otherwise.
bool restoreDatabase(const QString &databasePath, const QString &backupPath, QString *error);

} // namespace dbcopy
