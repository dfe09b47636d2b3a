#pragma once
// Records that could not go into the database are written, exactly as they
// were received, to a file of their own (jykdb-unsaved-YYYYMMDD-hhmmss.txt),
// where staff can find them and the simulator or a second sending can replay
// them. The file goes beside the database file; when that folder cannot take
// it, to the user's data folder, then to the temporary folder.
//
// A file is written whole or not at all: the bytes go to a hidden temporary
// name, are flushed to the disk, and only then get the file's real name, so
// a file that carries the name always holds every byte.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace intake {

// The folders tried, in order, for a database at databasePath.
QStringList unsavedFolders(const QString &databasePath);

// Writes bytes to a new such file in the first folder that takes it and
// returns its path; empty when no folder took it, with *error naming each
// folder and why, in Chinese (a full disk is called a full disk).
QString writeUnsaved(const QString &databasePath, const QByteArray &bytes, QString *error = nullptr);

// Replaces what the file at path holds, again whole or not at all; with no
// bytes the file is removed. On failure the file stays as it was.
bool rewriteUnsaved(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Adds bytes to the end of the file at path and forces them to the disk;
// on failure the file is cut back to what it held.
bool appendUnsaved(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// How a status text names the file: its name alone when it lies beside the
// database, its full path when it went elsewhere.
QString unsavedFileShownName(const QString &databasePath, const QString &path);

} // namespace intake
