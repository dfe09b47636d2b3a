#pragma once
// A long read (a count or search over years of archive) run on a thread of
// its own, so that the windows keep painting while it runs. SQLite
// connections belong to one thread: the work gets a connection of its own to
// the program's database file, opened and closed around it.
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace db {

using BackgroundWork = std::function<bool(QSqlDatabase db, QString *error)>;

// Runs work on its own thread and connection while this thread goes on
// handling events; returns when the work is done, with its result (or false
// and *error when the connection cannot be opened). When the work has not
// finished after slowAfterMs, whenSlow runs once on this thread (a progress
// text). Only one such work runs at a time: a second call meanwhile returns
// false at once.
bool runInBackground(const BackgroundWork &work, QString *error, const std::function<void()> &whenSlow = {},
                     int slowAfterMs = 300);
// True while a work of runInBackground runs.
bool backgroundBusy();

} // namespace db
