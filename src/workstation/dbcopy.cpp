#include "workstation/dbcopy.h"

#include "base/database.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/db/errortext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbcopy {

namespace {

enum class Cause {
    DiskFull,
    FolderReadOnly,
    DatabaseReadOnly,
    DatabaseInUse,
    DatabaseDamaged,
    BackupReadOnly,
    BackupMissing,
    BackupUnreadable,
    BackupForeign,
    BackupDamaged,
    BackupUnusable,
    Other,
};

// What the user reads: the cause, what happened to the database and what to
// do, in one sentence.
QString sentence(Cause cause, bool restoring)
{
    switch (cause) {
    case Cause::DiskFull:
        return restoring ? QStringLiteral("磁盘空间已满，数据库未恢复，请清理磁盘空间后再恢复。")
                         : QStringLiteral("磁盘空间已满，数据库未能备份，请清理磁盘空间后再备份。");
    case Cause::FolderReadOnly:
        return restoring ? QStringLiteral("数据库所在的文件夹是只读的，数据库未恢复，请让该文件夹可以写入后再恢复。")
                         : QStringLiteral("数据库所在的文件夹是只读的，数据库未能备份，请让该文件夹可以写入后再备份。");
    case Cause::DatabaseReadOnly:
        return QStringLiteral("数据库文件 jykdb.mdb 是只读的，数据库未恢复，请取消它的只读属性后再恢复。");
    case Cause::DatabaseInUse:
        return restoring ? QStringLiteral("数据库文件正被其他程序使用，数据库未恢复，请关闭使用它的程序后再恢复。")
                         : QStringLiteral("数据库文件正被其他程序占用，数据库未能备份，请关闭使用它的程序后再备份。");
    case Cause::DatabaseDamaged:
        return QStringLiteral("数据库文件已损坏，数据库未能备份，请不要删除该文件，先把它复制保存一份，再联系维护人员。");
    case Cause::BackupReadOnly:
        return QStringLiteral("备份文件 jykdb.mbk 是只读的，数据库未能备份，请取消它的只读属性后再备份。");
    case Cause::BackupMissing:
        return QStringLiteral("没有找到备份文件 jykdb.mbk，数据库未恢复，请把备份文件放到数据库所在的文件夹后再恢复。");
    case Cause::BackupUnreadable:
        return QStringLiteral("备份文件 jykdb.mbk 无法读取，数据库未恢复，请检查该文件后再恢复。");
    case Cause::BackupForeign:
        return QStringLiteral("备份文件 jykdb.mbk 不是本系统的数据库，数据库未恢复，请换用本系统备份的文件后再恢复。");
    case Cause::BackupDamaged:
        return QStringLiteral("备份文件 jykdb.mbk 已损坏，数据库未恢复。");
    case Cause::BackupUnusable:
        return QStringLiteral("备份文件 jykdb.mbk 恢复后无法使用，原来的数据库已放回原处，数据库未恢复，"
                              "请换用其他备份文件或联系维护人员。");
    case Cause::Other:
        break;
    }
    return restoring ? QStringLiteral("数据库未恢复，原来的数据库仍在使用，请检查数据库所在的文件夹后再试。")
                     : QStringLiteral("备份文件 jykdb.mbk 无法写入，数据库未能备份，请检查该文件和所在的文件夹后再备份。");
}

// The damaged backup is told as the sentence alone: there is nothing the
// user could do with the check's findings.
QString tell(Cause cause, bool restoring, const QString &detail)
{
    const QString said = sentence(cause, restoring);
    if (detail.isEmpty() || cause == Cause::BackupDamaged)
        return said;
    return said + QStringLiteral("（") + detail + QStringLiteral("）");
}

// A failed call on a file: its name and the system's text.
QString systemDetail(const QString &path, int err)
{
    return QStringLiteral("%1：%2").arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(err)));
}

// A file or folder that refuses to be written, seen through errno.
Cause writeCause(int err, Cause readOnly)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return Cause::DiskFull;
    case EACCES:
    case EPERM:
        return readOnly;
    case EROFS:
        return Cause::FolderReadOnly;
    default:
        return Cause::Other;
    }
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool unlinkIfThere(const QString &path, int *err)
{
    if (::unlink(native(path).constData()) == 0 || errno == ENOENT)
        return true;
    *err = errno;
    return false;
}

void removeQuietly(const QString &path)
{
    ::unlink(native(path).constData());
}

// A rename or link is lasting only once the folder that holds it is written.
void syncFolderOf(const QString &path)
{
    const int fd = ::open(native(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies `from` to the new file `to` (mode `mode`), written through to the
// disk. On failure nothing of `to` is left; *readFailed tells whether the
// source was what failed, *err the system's reason.
bool copyFile(const QString &from, const QString &to, mode_t mode, bool *readFailed, int *err)
{
    *readFailed = true;
    const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *err = errno;
        return false;
    }
    *readFailed = false;
    const int out = ::open(native(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        *err = errno;
        ::close(in);
        return false;
    }
    ::fchmod(out, mode); // the creation mode passes through the umask
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            *readFailed = !ok;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok)
            break;
    }
    if (!ok || ::fsync(out) != 0)
        ok = false;
    if (!ok)
        *err = errno ? errno : EIO;
    if (::close(out) != 0 && ok) {
        ok = false;
        *err = errno;
    }
    ::close(in);
    if (!ok)
        removeQuietly(to);
    return ok;
}

bool sideFilesPresent(const QString &databasePath)
{
    for (const char *suffix : appdb::kSideSuffixes)
        if (QFileInfo::exists(databasePath + QLatin1String(suffix)))
            return true;
    return false;
}

} // namespace

QString backupPathFor(const QString &databasePath)
{
    return QFileInfo(databasePath).dir().filePath(QString::fromLatin1(appdb::kBackupFile));
}

bool backupDatabase(QSqlDatabase db, const QString &backupPath, QString *error)
{
    const auto refuse = [error](Cause cause, const QString &detail) {
        if (error)
            *error = tell(cause, false, detail);
        return false;
    };
    // A byte copy of a file that SQLite has open may catch it half-written;
    // VACUUM INTO writes a consistent copy through SQLite itself. It writes
    // a new file that then takes the backup's place: a failed backup leaves
    // the previous one intact. The new file is made here first, so that a
    // folder that refuses it is told by the system's own reason.
    const QString temp = backupPath + QStringLiteral(".new");
    int err = 0;
    if (!unlinkIfThere(temp, &err))
        return refuse(writeCause(err, Cause::FolderReadOnly), systemDetail(temp, err));
    const int fd = ::open(native(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        err = errno;
        return refuse(writeCause(err, Cause::FolderReadOnly), systemDetail(temp, err));
    }
    ::close(fd);

    QString why;
    if (!db::exec(db, QStringLiteral("VACUUM INTO ?"), {temp}, &why)) {
        removeQuietly(temp);
        switch (db::fileFault(why)) {
        case db::FileFault::Full:
            return refuse(Cause::DiskFull, why);
        case db::FileFault::Locked:
            return refuse(Cause::DatabaseInUse, why);
        case db::FileFault::Damaged:
            return refuse(Cause::DatabaseDamaged, why);
        case db::FileFault::ReadOnly:
        case db::FileFault::CannotOpen:
            return refuse(Cause::FolderReadOnly, why);
        default:
            return refuse(Cause::Other, why);
        }
    }
    if (std::rename(native(temp).constData(), native(backupPath).constData()) != 0) {
        err = errno;
        removeQuietly(temp);
        return refuse(err == EPERM ? Cause::BackupReadOnly : writeCause(err, Cause::FolderReadOnly),
                      systemDetail(backupPath, err));
    }
    syncFolderOf(backupPath);
    return true;
}

RestoreResult restoreDatabase(const QString &databasePath, const QString &backupPath, QString *error)
{
    const auto say = [error](Cause cause, const QString &detail) {
        if (error)
            *error = tell(cause, true, detail);
    };
    const QString incoming = appdb::incomingPathFor(databasePath);
    const QString previous = appdb::previousPathFor(databasePath);
    const auto refuse = [&](Cause cause, const QString &detail) {
        removeQuietly(incoming);
        say(cause, detail);
        return RestoreResult::Refused;
    };

    if (!QFileInfo::exists(backupPath))
        return refuse(Cause::BackupMissing, QString());
    // A database the user may not change is not replaced behind their back.
    // Opening it for writing changes nothing and asks the file system.
    const int probe = ::open(native(databasePath).constData(), O_WRONLY | O_CLOEXEC);
    if (probe < 0) {
        const int err = errno;
        return refuse(writeCause(err, Cause::DatabaseReadOnly), systemDetail(databasePath, err));
    }
    struct stat st{};
    const mode_t mode = ::fstat(probe, &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::close(probe);

    // The copy is made and checked while the old file is still connected:
    // a full disk or a damaged backup stops here with nothing disconnected.
    int err = 0;
    if (!unlinkIfThere(incoming, &err))
        return refuse(writeCause(err, Cause::FolderReadOnly), systemDetail(incoming, err));
    bool readFailed = false;
    if (!copyFile(backupPath, incoming, mode, &readFailed, &err)) {
        if (readFailed)
            return refuse(Cause::BackupUnreadable, systemDetail(backupPath, err));
        return refuse(writeCause(err, Cause::FolderReadOnly), systemDetail(incoming, err));
    }
    QString why;
    switch (appdb::examineFile(incoming, &why)) {
    case appdb::FileState::Whole:
        break;
    case appdb::FileState::Damaged:
        return refuse(Cause::BackupDamaged, why);
    case appdb::FileState::Foreign:
        return refuse(Cause::BackupForeign, why);
    case appdb::FileState::Missing:
    case appdb::FileState::Unreadable:
        return refuse(Cause::BackupUnreadable, why);
    }

    // Another program that reads or writes the file would go on with the old
    // one after the swap, and what it writes would be lost: the file must be
    // ours alone. The lock is held until the connection closes.
    QString lockWhy;
    if (!db::exec(db::database(), QStringLiteral("BEGIN EXCLUSIVE"), {}, &lockWhy))
        return refuse(Cause::DatabaseInUse, lockWhy);

    // The old file keeps a second name; one rename then puts the copy under
    // the database's name, so that a whole database stands there whenever
    // the program or the machine stops.
    removeQuietly(previous);
    for (const char *suffix : appdb::kSideSuffixes)
        removeQuietly(previous + QLatin1String(suffix));
    if (::link(native(databasePath).constData(), native(previous).constData()) != 0) {
        err = errno;
        db::exec(db::database(), QStringLiteral("ROLLBACK"));
        return refuse(err == EPERM ? Cause::DatabaseReadOnly : writeCause(err, Cause::FolderReadOnly),
                      systemDetail(databasePath, err));
    }

    db::disconnect();
    const auto reconnect = [&databasePath]() {
        QString connectWhy;
        return db::connect(databasePath, &connectWhy) ? QString() : connectWhy;
    };
    // From here on a refusal connects the old file anew.
    const auto reconnectAndRefuse = [&](Cause cause, const QString &detail) {
        removeQuietly(previous);
        const QString connectWhy = reconnect();
        refuse(cause, connectWhy.isEmpty() || detail.isEmpty() ? detail + connectWhy
                                                               : detail + QStringLiteral("；") + connectWhy);
        return RestoreResult::PutBack;
    };
    // A journal beside the file belongs to the old file and to another
    // program that writes it: the copy must not be put under it.
    if (sideFilesPresent(databasePath))
        return reconnectAndRefuse(Cause::DatabaseInUse, QString());
    if (std::rename(native(incoming).constData(), native(databasePath).constData()) != 0) {
        err = errno;
        return reconnectAndRefuse(writeCause(err, Cause::FolderReadOnly), systemDetail(incoming, err));
    }
    syncFolderOf(databasePath);

    QString openWhy;
    if (appdb::openOrCreate(databasePath, &openWhy) == appdb::OpenResult::Opened) {
        removeQuietly(previous);
        syncFolderOf(databasePath);
        return RestoreResult::Restored;
    }

    // The restored file does not answer: the old one goes back under the
    // name in one step, and whatever SQLite left beside the restored file
    // goes with it, never to be played into the old one.
    db::disconnect();
    for (const char *suffix : appdb::kSideSuffixes)
        removeQuietly(databasePath + QLatin1String(suffix));
    if (std::rename(native(previous).constData(), native(databasePath).constData()) != 0) {
        err = errno;
        if (error)
            *error = QStringLiteral("备份文件 jykdb.mbk 恢复后无法使用，原来的数据库也没能放回原处，"
                                    "请不要再使用本系统，立即联系维护人员。（原来的数据库保存为 %1；%2；%3）")
                         .arg(QFileInfo(previous).fileName(), systemDetail(previous, err), openWhy);
        return RestoreResult::PutBack;
    }
    syncFolderOf(databasePath);
    const QString connectWhy = reconnect();
    say(db::fileFault(openWhy) == db::FileFault::Full ? Cause::DiskFull : Cause::BackupUnusable,
        connectWhy.isEmpty() ? openWhy : openWhy + QStringLiteral("；") + connectWhy);
    return RestoreResult::PutBack;
}

} // namespace dbcopy
