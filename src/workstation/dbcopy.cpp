#include "workstation/dbcopy.h"

#include "base/database.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QVector>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dbcopy {

namespace {

// Files SQLite keeps beside a database while it is in use.
const char *const kSideSuffixes[] = {"", "-journal", "-wal", "-shm"};

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Replaces `to` by `from` in one step (the old `to`, if any, disappears).
bool replaceFile(const QString &from, const QString &to, QString *error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error)
            *error = QStringLiteral("无法写入文件 %1：%2").arg(to, systemReason());
        return false;
    }
    return true;
}

bool removeIfExists(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path))
        return true;
    QFile f(path);
    if (!f.remove()) {
        if (error)
            *error = QStringLiteral("无法删除文件 %1：%2").arg(path, f.errorString());
        return false;
    }
    return true;
}

// Moves the database file and the files beside it to "<base><suffix>" names
// (or back). Stops at the first failure.
bool moveSet(const QString &fromBase, const QString &toBase, QString *error)
{
    for (const char *s : kSideSuffixes) {
        const QString from = fromBase + QLatin1String(s);
        if (!QFileInfo::exists(from))
            continue;
        if (!replaceFile(from, toBase + QLatin1String(s), error))
            return false;
    }
    return true;
}

void removeSet(const QString &base)
{
    for (const char *s : kSideSuffixes)
        QFile::remove(base + QLatin1String(s));
}

} // namespace

QString backupPathFor(const QString &databasePath)
{
    return QFileInfo(databasePath).dir().filePath(QString::fromLatin1(appdb::kBackupFile));
}

bool backupDatabase(QSqlDatabase db, const QString &backupPath, QString *error)
{
    // A byte copy of a file that SQLite has open may catch it half-written;
    // VACUUM INTO writes a consistent copy through SQLite itself. It refuses
    // an existing target, so it writes a new file that then takes the
    // backup's place: a failed backup leaves the previous one intact.
    const QString temp = backupPath + QStringLiteral(".new");
    QString why;
    if (!removeIfExists(temp, &why)) {
        if (error)
            *error = QStringLiteral("数据库备份失败：%1").arg(why);
        return false;
    }
    if (!db::exec(db, QStringLiteral("VACUUM INTO ?"), {temp}, &why)) {
        QFile::remove(temp);
        if (error)
            *error = QStringLiteral("数据库备份失败，无法写入备份文件 %1：%2").arg(backupPath, why);
        return false;
    }
    if (!replaceFile(temp, backupPath, &why)) {
        QFile::remove(temp);
        if (error)
            *error = QStringLiteral("数据库备份失败：%1").arg(why);
        return false;
    }
    return true;
}

bool backupUsable(const QString &backupPath, QString *error)
{
    const QFileInfo info(backupPath);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("没有找到备份文件 %1，数据库未恢复。").arg(backupPath);
        return false;
    }
    if (!info.isFile()) {
        if (error)
            *error = QStringLiteral("备份文件 %1 不是文件，数据库未恢复。").arg(backupPath);
        return false;
    }
    QFile f(backupPath);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("无法读取备份文件 %1：%2，数据库未恢复。").arg(backupPath, f.errorString());
        return false;
    }
    static const QByteArray header("SQLite format 3\0", 16);
    if (f.read(16) != header) {
        if (error)
            *error = QStringLiteral("备份文件 %1 不是数据库文件，数据库未恢复。").arg(backupPath);
        return false;
    }
    f.close();

    // An SQLite file of something else would only be found out after the
    // live file had been disconnected: look for our tables first.
    static const char *const kTables[] = {"patient",   "testresult", "gresult",    "histpatient",
                                          "hisresult", "hisgresult", "itemtb",     "department",
                                          "doctor",    "operator",   "samplekind", "sampleapperance",
                                          "codetb",    "corpration", "qcpara",     "qctb"};
    const QString name = QStringLiteral("jykdb-backup-check");
    QStringList missing;
    QString why;
    bool opened = false;
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        check.setDatabaseName(backupPath);
        check.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        opened = check.open();
        QVector<QVariantList> rows;
        if (opened && db::select(check, QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table'"),
                                 {}, &rows, &why)) {
            QStringList present;
            for (const QVariantList &r : rows)
                present << r.value(0).toString();
            for (const char *t : kTables) {
                if (!present.contains(QLatin1String(t)))
                    missing << QLatin1String(t);
            }
        } else {
            if (why.isEmpty())
                why = check.lastError().text();
            opened = false;
        }
        check.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!opened) {
        if (error)
            *error = QStringLiteral("无法读取备份文件 %1：%2，数据库未恢复。").arg(backupPath, why);
        return false;
    }
    if (!missing.isEmpty()) {
        if (error)
            *error = QStringLiteral("备份文件 %1 不是本系统的数据库（缺少表 %2），数据库未恢复。")
                         .arg(backupPath, missing.join(QStringLiteral("、")));
        return false;
    }
    return true;
}

bool restoreDatabase(const QString &databasePath, const QString &backupPath, QString *error)
{
    QString why;
    if (!backupUsable(backupPath, error))
        return false;

    // The copy is made while the old file is still connected: a full disk or
    // an unreadable backup stops here with nothing disconnected.
    const QString incoming = databasePath + QStringLiteral(".restore");
    const QString previous = databasePath + QStringLiteral(".previous");
    if (!removeIfExists(incoming, &why)) {
        if (error)
            *error = QStringLiteral("数据库恢复失败：%1").arg(why);
        return false;
    }
    {
        QFile src(backupPath);
        if (!src.copy(incoming)) {
            QFile::remove(incoming);
            if (error)
                *error = QStringLiteral("数据库恢复失败，无法复制备份文件 %1：%2").arg(backupPath, src.errorString());
            return false;
        }
    }
    removeSet(previous);

    db::disconnect();
    // The old file and whatever SQLite kept beside it step aside together; a
    // journal left next to the restored file would be played into it.
    bool ok = moveSet(databasePath, previous, &why) && replaceFile(incoming, databasePath, &why);
    if (ok) {
        QString openWhy;
        ok = appdb::openOrCreate(databasePath, &openWhy) == appdb::OpenResult::Opened;
        if (!ok)
            why = QStringLiteral("备份文件 %1 不是本系统的数据库：%2").arg(backupPath, openWhy);
    }
    if (ok) {
        removeSet(previous);
        return true;
    }

    // Put the old file back and connect it again.
    db::disconnect();
    QFile::remove(incoming);
    QString backWhy;
    if (QFileInfo::exists(previous)) {
        removeSet(databasePath);
        moveSet(previous, databasePath, &backWhy);
    }
    QString connectWhy;
    const bool reconnected = db::connect(databasePath, &connectWhy);
    if (error) {
        *error = QStringLiteral("数据库恢复失败：%1").arg(why);
        if (!backWhy.isEmpty())
            *error += QStringLiteral("\n%1").arg(backWhy);
        if (!reconnected)
            *error += QStringLiteral("\n数据库无法重新连接：%1").arg(connectWhy);
    }
    return false;
}

} // namespace dbcopy
