#pragma once
// The database file of the program: opened as the one connection, created
// from the schema and default data compiled into the program when missing,
// and checked to be ours (every table and column present) when it exists.
#include "platform/db/errortext.h"

#include <QString>
#include <functional>

namespace appdb {

inline constexpr const char *kDatabaseFile = "jykdb.mdb";
inline constexpr const char *kBackupFile = "jykdb.mbk";

// While a restore works, the checked copy of the backup waits under the
// first name and the file it replaces is kept under the second, until the
// restored file answers.
inline QString incomingPathFor(const QString &databasePath) { return databasePath + QStringLiteral(".restore"); }
inline QString previousPathFor(const QString &databasePath) { return databasePath + QStringLiteral(".previous"); }
// Files SQLite keeps beside a database while it is in use; a journal belongs
// to its database and moves with it.
inline constexpr const char *kSideSuffixes[] = {"-journal", "-wal", "-shm"};

enum class OpenResult { Opened, Created, Failed };

// Opens `path` as the program's connection ("jykdbconnect"). A missing file is
// created with the schema and default data, unless a restore that stopped
// half-way left the database beside it: that file is put back under `path`
// and opened, and *notice tells the user so. A file that is not such a
// database (another format's file, a table or column missing) is left
// untouched and Failed is returned with the reason in *error; so is a file
// of ours that cannot be used (locked, damaged, its header unreadable), told
// in the program's wording for database failures.
OpenResult openOrCreate(const QString &path, QString *error, QString *notice = nullptr);

// What a database file that is not connected holds, found without changing
// it: Whole when it has SQLite's header, passes SQLite's quick check of
// every page and holds our tables and columns (save those a later build
// adds on opening). *detail says what was found otherwise.
enum class FileState { Whole, Missing, Unreadable, Foreign, Damaged };
FileState examineFile(const QString &path, QString *detail);

// An existing file made by an earlier build gains what this build adds (its
// indexes), in one transaction, when it is opened. The work runs on a thread
// and connection of its own while this thread goes on painting (user input
// waits); when the file is at least this large the notice runs with true
// before and false after, so that the user sees why the program is waiting.
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

// A database failure as the staff read it: the one wording of the program
// (see platform/db/errortext.h), under the name the receive path uses.
inline QString describeError(const QString &databaseText) { return db::describeError(databaseText); }

} // namespace appdb
