#pragma once
// The database file of the program: opened as the one connection, created
// from the schema and default data compiled into the program when missing,
// and checked to be ours (every table and column present) when it exists.
#include <QString>

namespace appdb {

inline constexpr const char *kDatabaseFile = "jykdb.mdb";
inline constexpr const char *kBackupFile = "jykdb.mbk";

enum class OpenResult { Opened, Created, Failed };

// Opens `path` as the program's connection ("jykdbconnect"). A missing file is
// created with the schema and default data. A file that is not such a
// database (not SQLite, a table or column missing) is left untouched and
// Failed is returned with the reason in *error.
OpenResult openOrCreate(const QString &path, QString *error);

// Writes a new database file with the schema and, if asked, the default
// data. Used by first start and by tests. Fails if the file exists.
bool createDatabaseFile(const QString &path, bool withDefaults, QString *error);

// The SQL texts compiled into the program.
QString schemaSql();
QString defaultsSql();

// Checks that the open connection holds every table and column we use.
bool verifySchema(QString *error);

} // namespace appdb
