#include "base/database.h"

#include "platform/db/connection.h"

#include <QFile>
#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

extern const char kEmbedded_schema_sql[];
extern const char kEmbedded_defaults_sql[];

namespace appdb {

namespace {

// Lower-cased table name -> lower-cased column names in table order; column
// names are compared without regard to case.
using SchemaMap = QMap<QString, QStringList>;

QString notOurs(const QString &path, const QString &why)
{
    return QStringLiteral("数据库文件 %1 不是本系统的数据库，请把它移到别处，或换上本系统的数据库文件，"
                          "然后重新启动本系统。（%2）")
        .arg(QFileInfo(path).fileName(), why);
}

bool execScript(sqlite3 *h, const QByteArray &sql, QString *error)
{
    char *msg = nullptr;
    const int rc = sqlite3_exec(h, sql.constData(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(msg ? msg : sqlite3_errstr(rc));
        sqlite3_free(msg);
        return false;
    }
    return true;
}

// Tables and columns of a native connection, read from its catalogue.
bool readSchema(sqlite3 *h, SchemaMap *out, QString *error)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h,
                           "select name from sqlite_master where type='table' "
                           "and name not like 'sqlite\\_%' escape '\\' order by name",
                           -1, &st, nullptr)
        != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(h));
        return false;
    }
    QStringList tables;
    while (sqlite3_step(st) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);

    for (const QString &table : tables) {
        if (sqlite3_prepare_v2(h, "select name from pragma_table_info(?1)", -1, &st, nullptr)
            != SQLITE_OK) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(h));
            return false;
        }
        const QByteArray name = table.toUtf8();
        sqlite3_bind_text(st, 1, name.constData(), name.size(), SQLITE_TRANSIENT);
        QStringList columns;
        while (sqlite3_step(st) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)))
                           .toLower();
        sqlite3_finalize(st);
        out->insert(table.toLower(), columns);
    }
    return true;
}

// What the compiled-in schema creates, read once from an in-memory database.
const SchemaMap &expectedSchema()
{
    static const SchemaMap schema = [] {
        SchemaMap map;
        sqlite3 *h = nullptr;
        if (sqlite3_open_v2(":memory:", &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK) {
            QString error;
            if (execScript(h, QByteArray(kEmbedded_schema_sql), &error))
                readSchema(h, &map, &error);
        }
        sqlite3_close(h);
        return map;
    }();
    return schema;
}

// Columns this build keeps that files of earlier builds lack.
struct AddedColumn
{
    const char *table, *column, *type;
};
const AddedColumn kAddedColumns[] = {
    {"corpration", "prntname", "TEXT"},   // the chosen printer's name beside its position
};

// A file of another database format begins with that format's signature:
// such a file is not ours. Any other file without SQLite's header is taken
// for ours, damaged, so that the user is sent to the backup. The two known
// signatures are those of the desktop database files that have carried the
// ".mdb" name elsewhere; they differ only in the engine's three letters.
bool hasForeignSignature(const QByteArray &head)
{
    static const QByteArray prefix("\x00\x01\x00\x00Standard ", 13);
    for (const char *engine : {"\x4a\x65\x74", "ACE"}) {
        if (head.startsWith(prefix + engine + " DB"))
            return true;
    }
    return false;
}

bool hasSqliteHeader(const QString &path, QString *error)
{
    const QString fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = db::describeFault(db::FileFault::Damaged,
                                       QStringLiteral("无法读取 %1：%2").arg(fileName, file.errorString()));
        return false;
    }
    static const char magic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArray(magic, 16)))
        return true;
    if (error)
        *error = hasForeignSignature(head)
            ? notOurs(path, QStringLiteral("这是另一种数据库程序的文件"))
            : db::describeFault(db::FileFault::Damaged,
                                QStringLiteral("%1 的文件头不是 SQLite 数据库的文件头").arg(fileName));
    return false;
}

} // namespace

FileState examineFile(const QString &path, QString *detail)
{
    const auto found = [detail](FileState state, const QString &what) {
        if (detail)
            *detail = what;
        return state;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return found(FileState::Missing, QString());
    if (!info.isFile())
        return found(FileState::Unreadable, QStringLiteral("%1 是一个文件夹").arg(info.fileName()));
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return found(FileState::Unreadable, file.errorString());
        const QByteArray head = file.read(32);
        if (hasForeignSignature(head))
            return found(FileState::Foreign, QStringLiteral("这是另一种数据库程序的文件"));
        if (!head.startsWith(QByteArray("SQLite format 3", 16)))
            return found(FileState::Damaged, QStringLiteral("文件头不是 SQLite 数据库的文件头"));
    }

    sqlite3 *h = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = sqlite3_open_v2(nativePath.constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    const auto closeWith = [&h](FileState state, const QString &what, QString *out) {
        if (out)
            *out = what;
        sqlite3_close(h);
        return state;
    };
    if (rc != SQLITE_OK)
        return closeWith(FileState::Unreadable, QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc)), detail);
    sqlite3_busy_timeout(h, 5000);

    // The quick check reads every page of every table and index: a file
    // whose header and table list are whole may still hold pages that are not.
    sqlite3_stmt *st = nullptr;
    QStringList problems;
    rc = sqlite3_prepare_v2(h, "PRAGMA quick_check", -1, &st, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (problems.size() < 3)
            problems << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        rc = SQLITE_OK;
    }
    const int fault = rc & 0xFF;
    const QString why = QString::fromUtf8(sqlite3_errmsg(h));
    sqlite3_finalize(st);
    if (fault == SQLITE_CORRUPT || fault == SQLITE_NOTADB)
        return closeWith(FileState::Damaged, why, detail);
    if (rc != SQLITE_DONE)
        return closeWith(FileState::Unreadable, why, detail);
    if (problems != QStringList{QStringLiteral("ok")})
        return closeWith(FileState::Damaged, problems.join(QStringLiteral("; ")), detail);

    SchemaMap present;
    QString readWhy;
    if (!readSchema(h, &present, &readWhy))
        return closeWith(FileState::Unreadable, readWhy, detail);
    sqlite3_close(h);
    QStringList missingTables, missingColumns;
    for (auto it = expectedSchema().cbegin(); it != expectedSchema().cend(); ++it) {
        if (!present.contains(it.key())) {
            missingTables << it.key();
            continue;
        }
        for (const QString &column : it.value()) {
            const bool addedOnOpening = std::any_of(std::begin(kAddedColumns), std::end(kAddedColumns),
                                                    [&](const AddedColumn &c) {
                                                        return it.key() == QLatin1String(c.table)
                                                            && column == QLatin1String(c.column);
                                                    });
            if (!addedOnOpening && !present.value(it.key()).contains(column))
                missingColumns << it.key() + QLatin1Char('.') + column;
        }
    }
    if (missingTables.isEmpty() && missingColumns.isEmpty())
        return FileState::Whole;
    QStringList parts;
    if (!missingTables.isEmpty())
        parts << QStringLiteral("缺少表 ") + missingTables.join(QStringLiteral("、"));
    if (!missingColumns.isEmpty())
        parts << QStringLiteral("缺少列 ") + missingColumns.join(QStringLiteral("、"));
    return found(FileState::Foreign, parts.join(QStringLiteral("；")));
}

QString schemaSql()
{
    return QString::fromUtf8(kEmbedded_schema_sql);
}

QString defaultsSql()
{
    return QString::fromUtf8(kEmbedded_defaults_sql);
}

bool createDatabaseFile(const QString &path, bool withDefaults, QString *error)
{
    const QString fileName = QFileInfo(path).fileName();
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("数据库文件 %1 已经存在").arg(fileName);
        return false;
    }
    sqlite3 *h = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = sqlite3_open_v2(nativePath.constData(), &h,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString why;
    bool ok = rc == SQLITE_OK;
    if (!ok)
        why = QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc));

    // All or nothing: a half-made file would later pass for ours.
    if (ok)
        ok = execScript(h, "BEGIN", &why);
    if (ok)
        ok = execScript(h, QByteArray(kEmbedded_schema_sql), &why);
    if (ok && withDefaults)
        ok = execScript(h, QByteArray(kEmbedded_defaults_sql), &why);
    if (ok)
        ok = execScript(h, "COMMIT", &why);
    if (!ok && h && !sqlite3_get_autocommit(h))
        sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    if (h && sqlite3_close(h) != SQLITE_OK && ok) {
        ok = false;
        why = QString::fromUtf8(sqlite3_errmsg(h));
    }
    if (!ok) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        if (error)
            *error = QStringLiteral("无法建立数据库文件 %1：%2").arg(fileName, why);
    }
    return ok;
}

namespace {

bool verifySchemaOf(QString *error, bool opening)
{
    QSqlDatabase database = db::database();
    const QString path = database.databaseName();
    if (!database.isOpen()) {
        if (error)
            *error = QStringLiteral("数据库没有打开");
        return false;
    }

    QStringList missingTables;
    QStringList missingColumns;
    const SchemaMap &expected = expectedSchema();
    if (expected.isEmpty()) {
        if (error)
            *error = QStringLiteral("程序内置的数据库结构无法读取");
        return false;
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QSqlQuery q(database);
        // A locked, damaged or unreadable file of ours is said to be so: it
        // must never be taken for a foreign file and replaced.
        const auto failed = [&] {
            const QString text = q.lastError().text();
            if (error)
                *error = db::fileFault(text) == db::FileFault::None ? notOurs(path, text)
                    : opening                                     ? db::describeOpenError(text)
                                                                  : db::describeError(text);
            return false;
        };
        if (!q.prepare(QStringLiteral("select name from pragma_table_info(?)")))
            return failed();
        q.addBindValue(it.key());
        if (!q.exec())
            return failed();
        QStringList present;
        while (q.next())
            present << q.value(0).toString().toLower();
        if (present.isEmpty()) {
            missingTables << it.key();
            continue;
        }
        for (const QString &column : it.value()) {
            if (!present.contains(column))
                missingColumns << it.key() + QLatin1Char('.') + column;
        }
    }
    if (missingTables.isEmpty() && missingColumns.isEmpty())
        return true;
    if (error) {
        QStringList parts;
        if (!missingTables.isEmpty())
            parts << QStringLiteral("缺少表 ") + missingTables.join(QStringLiteral("、"));
        if (!missingColumns.isEmpty())
            parts << QStringLiteral("缺少列 ") + missingColumns.join(QStringLiteral("、"));
        *error = notOurs(path, parts.join(QStringLiteral("；")));
    }
    return false;
}

} // namespace

bool verifySchema(QString *error)
{
    return verifySchemaOf(error, false);
}

namespace {

std::function<void(bool)> g_upgradeNotice;

// Index name -> its CREATE INDEX text, as the compiled-in schema makes them.
const QList<QPair<QString, QString>> &expectedIndexes()
{
    static const QList<QPair<QString, QString>> indexes = [] {
        QList<QPair<QString, QString>> list;
        sqlite3 *h = nullptr;
        if (sqlite3_open_v2(":memory:", &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK) {
            QString error;
            sqlite3_stmt *st = nullptr;
            if (execScript(h, QByteArray(kEmbedded_schema_sql), &error)
                && sqlite3_prepare_v2(h, "select name, sql from sqlite_master where type='index' and sql is not null "
                                         "order by rowid", -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW)
                    list.append({QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))),
                                 QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)))});
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(h);
        return list;
    }();
    return indexes;
}

// Runs the statements in one transaction on a connection and thread of their
// own. This thread meanwhile goes on handling events, so its windows (the
// notice among them) repaint; user input waits until the work is done, as
// the program is not ready for it before.
bool runSteps(const QString &path, const QStringList &steps, QString *why)
{
    bool ok = false;
    QThread *thread = QThread::create([&]() {
        sqlite3 *h = nullptr;
        const QByteArray nativePath = QFile::encodeName(path);
        const int rc = sqlite3_open_v2(nativePath.constData(), &h, SQLITE_OPEN_READWRITE, nullptr);
        ok = rc == SQLITE_OK;
        if (!ok)
            *why = QString::fromUtf8(h ? sqlite3_errmsg(h) : sqlite3_errstr(rc));
        if (ok) {
            sqlite3_busy_timeout(h, 5000);
            ok = execScript(h, "BEGIN IMMEDIATE", why);
        }
        for (const QString &sql : steps)
            ok = ok && execScript(h, sql.toUtf8(), why);
        ok = ok && execScript(h, "COMMIT", why);
        if (!ok && h && !sqlite3_get_autocommit(h))
            sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    return ok;
}

// A file made by an earlier build lacks indexes this build's searches rely
// on: they are made in one transaction, and nothing else in the file
// changes. On ten years of archive this takes a while, so the user is told.
bool addMissingIndexes(const QString &path, QString *error)
{
    QSqlDatabase database = db::database();
    QStringList present;
    {
        QSqlQuery q(database);
        if (!q.exec(QStringLiteral("select name from sqlite_master where type='index'"))) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        while (q.next())
            present << q.value(0).toString().toLower();
    }
    QStringList missing;
    for (const auto &index : expectedIndexes())
        if (!present.contains(index.first.toLower()))
            missing << index.second;
    if (missing.isEmpty())
        return true;

    const bool large = QFileInfo(path).size() >= kUpgradeNoticeBytes;
    if (large && g_upgradeNotice)
        g_upgradeNotice(true);
    QString why;
    const bool ok = runSteps(path, missing, &why);
    if (large && g_upgradeNotice)
        g_upgradeNotice(false);
    if (!ok && error)
        *error = db::describeOpenError(
            QStringLiteral("无法为数据库文件 %1 建立索引：%2").arg(QFileInfo(path).fileName(), why));
    return ok;
}

// A file of an earlier build gains the columns it lacks (empty in every
// row). Only a table that holds all its other columns is one of ours; any
// other file is left as it is, for the check to refuse.
bool addMissingColumns(const QString &path, QString *error)
{
    QSqlDatabase database = db::database();
    for (const AddedColumn &c : kAddedColumns) {
        QSqlQuery q(database);
        QStringList present;
        bool ok = q.exec(QStringLiteral("select name from pragma_table_info('%1')").arg(QLatin1String(c.table)));
        while (ok && q.next())
            present << q.value(0).toString().toLower();
        QStringList others = expectedSchema().value(QLatin1String(c.table));
        others.removeAll(QLatin1String(c.column));
        const bool ours = !present.isEmpty() && std::all_of(others.cbegin(), others.cend(), [&](const QString &col) {
            return present.contains(col);
        });
        if (ok && (!ours || present.contains(QLatin1String(c.column))))
            continue;
        if (ok)
            ok = q.exec(QStringLiteral("alter table %1 add column %2 %3")
                            .arg(QLatin1String(c.table), QLatin1String(c.column), QLatin1String(c.type)));
        if (!ok) {
            const QString text = q.lastError().text();
            if (error)
                *error = db::fileFault(text) != db::FileFault::None ? db::describeOpenError(text)
                                                : QStringLiteral("无法为数据库文件 %1 增加列 %2.%3：%4")
                                                      .arg(QFileInfo(path).fileName(), QLatin1String(c.table),
                                                           QLatin1String(c.column), text);
            return false;
        }
    }
    return true;
}

// Connects, brings a file of an earlier build up to date and checks the
// tables; a file that fails is not left connected.
bool connectVerified(const QString &path, QString *error)
{
    if (!db::connect(path, error)) {
        if (error)
            *error = db::describeOpenError(*error);
        return false;
    }
    if (!addMissingColumns(path, error) || !verifySchemaOf(error, true)) {
        db::disconnect();
        return false;
    }
    return true;
}
} // namespace

namespace {

enum class Leftover { None, PutBack, Failed };

// Moves a database file and the files SQLite kept beside it to another
// name, the side files first: a journal must never be left behind while its
// database already stands under the new name.
bool moveDatabase(const QString &from, const QString &to, QString *why)
{
    for (const char *suffix : kSideSuffixes) {
        const QString side = from + QLatin1String(suffix);
        if (QFileInfo::exists(side) && std::rename(QFile::encodeName(side).constData(),
                                                   QFile::encodeName(to + QLatin1String(suffix)).constData()) != 0) {
            *why = QStringLiteral("%1：%2").arg(QFileInfo(side).fileName(), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        *why = QStringLiteral("%1：%2").arg(QFileInfo(from).fileName(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

// A restore that stopped half-way may have left the database only under
// the name it was kept by, or only the checked copy of the backup. An empty
// new database in their place would hide the staff's data (and their
// passwords): what was kept goes back under the database's name instead.
Leftover putBackLeftover(const QString &path, QString *error, QString *notice)
{
    const QString name = QFileInfo(path).fileName();
    const QString previous = previousPathFor(path);
    const QString incoming = incomingPathFor(path);
    QString why;
    if (QFileInfo::exists(previous)) {
        if (!moveDatabase(previous, path, &why)) {
            if (error)
                *error = QStringLiteral("数据库文件 %1 不见了，上次恢复数据库之前的数据库文件也无法放回原处，"
                                        "为免建立空数据库，程序不启动，请联系维护人员。（%2）").arg(name, why);
            return Leftover::Failed;
        }
        if (notice)
            *notice = QStringLiteral("上次恢复数据库时程序中断，备份没有恢复，原来的数据库已放回原处，"
                                     "如仍需恢复，请重新恢复一次。（%1 已改回 %2）").arg(QFileInfo(previous).fileName(), name);
        return Leftover::PutBack;
    }
    if (!QFileInfo::exists(incoming))
        return Leftover::None;
    const FileState state = examineFile(incoming, &why);
    if (state != FileState::Whole || !moveDatabase(incoming, path, &why)) {
        if (error)
            *error = QStringLiteral("数据库文件 %1 不见了，上次恢复时复制的备份也无法使用，"
                                    "为免建立空数据库，程序不启动，请联系维护人员。（%2：%3）")
                         .arg(name, QFileInfo(incoming).fileName(), why);
        return Leftover::Failed;
    }
    if (notice)
        *notice = QStringLiteral("数据库文件 %1 不见了，已改用上次恢复时复制的备份，备份之后录入的数据不在其中。"
                                 "（%2 已改为 %1）").arg(name, QFileInfo(incoming).fileName());
    return Leftover::PutBack;
}

} // namespace

OpenResult openOrCreate(const QString &path, QString *error, QString *notice)
{
    QFileInfo info(path);
    if (!info.exists()) {
        switch (putBackLeftover(path, error, notice)) {
        case Leftover::Failed:
            return OpenResult::Failed;
        case Leftover::PutBack:
            info.refresh();
            break;
        case Leftover::None:
            if (!createDatabaseFile(path, true, error))
                return OpenResult::Failed;
            return connectVerified(path, error) ? OpenResult::Created : OpenResult::Failed;
        }
    }
    if (info.isDir()) {
        if (error)
            *error = notOurs(path, QStringLiteral("这是一个文件夹"));
        return OpenResult::Failed;
    }
    // Never hand a foreign file to SQLite: it would not refuse a text file at
    // once, and an empty file would quietly become an empty database.
    if (!hasSqliteHeader(path, error))
        return OpenResult::Failed;
    if (!connectVerified(path, error))
        return OpenResult::Failed;
    if (!addMissingIndexes(path, error)) {
        db::disconnect();
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

void setUpgradeNotice(std::function<void(bool running)> notice)
{
    g_upgradeNotice = std::move(notice);
}

} // namespace appdb
