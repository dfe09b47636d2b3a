#pragma once
// The backup copy of the database file (jykdb.mbk beside jykdb.mdb) and its
// restore over the live file. Every failure comes back as one sentence that
// names the cause as the user meets it and what to do, with the file and
// the system's own text in brackets after it.
#include <QSqlDatabase>
#include <QString>

namespace dbcopy {

// The backup file that belongs to a database file: jykdb.mbk in its folder.
QString backupPathFor(const QString &databasePath);

// Writes a consistent copy of the open database to backupPath, replacing an
// earlier backup only once the new one is complete. The database stays
// connected and in use. False with the reason in *error.
bool backupDatabase(QSqlDatabase db, const QString &backupPath, QString *error);

enum class RestoreResult {
    Restored, // the backup is the database now, connected
    Refused,  // nothing was changed; the connection is the one it was
    PutBack,  // not restored: the old file is connected anew (or, if it could not be
              // put back, the connection is closed and *error says where it is)
};

// Replaces the database file of the program's connection by a checked copy
// of the backup and connects it. Nothing is disconnected before the copy
// has passed its check, and at every instant a whole database stands under
// databasePath; the old file is kept until the restored one answers.
RestoreResult restoreDatabase(const QString &databasePath, const QString &backupPath, QString *error);

} // namespace dbcopy
