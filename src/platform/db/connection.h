#pragma once
// The one database connection of the program ("jykdbconnect"): an SQLite file
// opened through QtSql, with the SQL functions val, cdate, len and space registered on its
// native handle.
#include <QSqlDatabase>
#include <QString>

namespace db {

inline constexpr const char *kConnectionName = "jykdbconnect";

// Opens an existing database file as the program's connection (replacing an
// earlier one). Never creates a file: a missing file is an error.
bool connect(const QString &path, QString *error = nullptr);
// Opens the file as a connection under another name (tests, the simulator).
bool connectNamed(const QString &name, const QString &path, QString *error = nullptr);
void disconnect();
bool isConnected();
QSqlDatabase database();

// Registers val, cdate, len, space on the connection's native SQLite handle.
bool registerSqlFunctions(QSqlDatabase &db, QString *error = nullptr);

} // namespace db
