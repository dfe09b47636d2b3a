#include "link/unsavedfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace intake {

namespace {

QFileInfo databaseFile(const QString &databasePath)
{
    return QFileInfo(databasePath.isEmpty() ? QStringLiteral("jykdb.mdb") : databasePath);
}

// What a refused write means to the person at the window; the system's own
// text only where there is no plainer way to say it.
QString describeFileError(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘已满");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case EACCES:
    case EPERM:
        return QStringLiteral("文件夹不允许写入");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    default:
        return QStringLiteral("无法写入（%1）").arg(QString::fromLocal8Bit(std::strerror(err)));
    }
}

// A hidden name in folder for bytes on their way to a file of their own;
// never matches the pattern of a finished file.
QByteArray partName(const QString &folder, const QString &stem)
{
    static std::atomic<int> serial{0};
    return QFile::encodeName(QDir(folder).filePath(
        QStringLiteral(".%1.%2-%3.part").arg(stem).arg(::getpid()).arg(++serial)));
}

// Writes every byte at fd and forces them to the disk: 0, or the errno of
// the step that failed.
int writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        p += n;
        left -= n;
    }
    return ::fsync(fd) != 0 ? errno : 0;
}

// Writes every byte to a new file at part and forces it to the disk; 0, or
// the errno of the step that failed, in which case nothing is left at part.
int writeSynced(const QByteArray &part, const QByteArray &bytes)
{
    const int fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int err = writeAll(fd, bytes);
    if (::close(fd) != 0 && !err)
        err = errno;
    if (err)
        ::unlink(part.constData());
    return err;
}

// A new name is on the disk only once its folder is.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Gives the finished part the first free name stem.txt, stem-2.txt...
// without ever replacing a file that is there.
int giveName(const QByteArray &part, const QString &folder, const QString &stem, QString *path)
{
    const QDir dir(folder);
    for (int n = 1; n < 1000; ++n) {
        const QString target = dir.filePath(n == 1 ? stem + QStringLiteral(".txt")
                                                   : stem + QStringLiteral("-%1.txt").arg(n));
        const QByteArray to = QFile::encodeName(target);
        int rc = ::renameat2(AT_FDCWD, part.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // File systems without a no-replace rename: a link refuses a
            // taken name just the same.
            rc = ::link(part.constData(), to.constData());
            if (rc == 0)
                ::unlink(part.constData());
        }
        if (rc == 0) {
            *path = target;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int writeIn(const QString &folder, const QString &stem, const QByteArray &bytes, QString *path)
{
    errno = 0;
    if (!QDir().mkpath(folder))
        return errno ? errno : EACCES;
    const QByteArray part = partName(folder, stem);
    int err = writeSynced(part, bytes);
    if (!err) {
        err = giveName(part, folder, stem, path);
        if (err)
            ::unlink(part.constData());
        else
            syncFolder(folder);
    }
    return err;
}

} // namespace

QStringList unsavedFolders(const QString &databasePath)
{
    QStringList folders;
    for (const QString &f : {databaseFile(databasePath).absolutePath(),
                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), QDir::tempPath()}) {
        const QString clean = f.isEmpty() ? QString() : QDir::cleanPath(QDir(f).absolutePath());
        if (!clean.isEmpty() && !folders.contains(clean))
            folders << clean;
    }
    return folders;
}

QString writeUnsaved(const QString &databasePath, const QByteArray &bytes, QString *error)
{
    const QString stem = databaseFile(databasePath).completeBaseName() + QStringLiteral("-unsaved-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QStringList refusals;
    for (const QString &folder : unsavedFolders(databasePath)) {
        QString path;
        const int err = writeIn(folder, stem, bytes, &path);
        if (!err)
            return path;
        refusals << QDir::toNativeSeparators(folder) + QStringLiteral("：") + describeFileError(err);
    }
    if (error)
        *error = refusals.join(QStringLiteral("；"));
    return QString();
}

bool rewriteUnsaved(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo file(path);
    int err = 0;
    if (bytes.isEmpty()) {
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
            err = errno;
    } else {
        const QByteArray part = partName(file.absolutePath(), file.completeBaseName());
        err = writeSynced(part, bytes);
        if (!err && ::rename(part.constData(), QFile::encodeName(path).constData()) != 0) {
            err = errno;
            ::unlink(part.constData());
        }
    }
    if (!err) {
        syncFolder(file.absolutePath());
        return true;
    }
    if (error)
        *error = QDir::toNativeSeparators(path) + QStringLiteral("：") + describeFileError(err);
    return false;
}

bool appendUnsaved(const QString &path, const QByteArray &bytes, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    const off_t held = fd < 0 ? 0 : ::lseek(fd, 0, SEEK_END);
    if (!err && held < 0)
        err = errno;
    if (!err)
        err = writeAll(fd, bytes);
    if (err && fd >= 0 && held >= 0 && ::ftruncate(fd, held) == 0)
        ::fsync(fd);
    if (fd >= 0 && ::close(fd) != 0 && !err)
        err = errno;
    if (err && error)
        *error = QDir::toNativeSeparators(path) + QStringLiteral("：") + describeFileError(err);
    return !err;
}

QString unsavedFileShownName(const QString &databasePath, const QString &path)
{
    const QFileInfo file(path);
    if (QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(databaseFile(databasePath).absolutePath()))
        return file.fileName();
    return QDir::toNativeSeparators(file.absoluteFilePath());
}

} // namespace intake
