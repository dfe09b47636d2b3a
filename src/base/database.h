#pragma once
// The database file of the program: opened as the one connection, created
// from the schema and default data compiled into the program when missing,
// and checked to be ours (every table and column present) when it exists.
#include <QString>
#include <functional>

namespace appdb {

inline constexpr const char *kDatabaseFile = "jykdb.mdb";
inline constexpr const char *kBackupFile = "jykdb.mbk";

enum class OpenResult { Opened, Created, Failed };

// Opens `path` as the program's connection ("jykdbconnect"). A missing file is
// created with the schema and default data. A file that is not such a
// database (not SQLite, a table or column missing) is left untouched and
// Failed is returned with the reason in *error.
OpenResult openOrCreate(const QString &path, QString *error);

// An existing file made by an earlier build gains the indexes this build
// adds, in one transaction, when it is opened; when the file is at least this
// large the notice runs with true before and false after, so that the user
// sees why the program is waiting.
inline constexpr qint64 kUpgradeNoticeBytes = 16 * 1024 * 1024;
void setUpgradeNotice(std::function<void(bool running)> notice);

// Writes a new database file with the schema and, if asked, the default
// data. Used by first start and by tests. Fails if the file exists.
bool createDatabaseFile(const QString &path, bool withDefaults, QString *error);

// The SQL texts compiled into the program.
QString schemaSql();
QString defaultsSql();

// Checks that the open connection holds every table and column we use.
bool verifySchema(QString *error);

// A database failure as the staff read it: for a locked or busy, read-only,
// full, damaged or unreadable file a Chinese sentence that says what happened
// and what to do, followed by the database's own text in brackets; any other
// text unchanged.
QString describeError(const QString &databaseText);
// True when describeError recognises the text (the file is ours but cannot be
// used right now, as opposed to a file that is not our database).
bool isKnownFileError(const QString &databaseText);

} // namespace appdb
