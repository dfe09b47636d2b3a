#include "link/unsavedfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace intake {

QString unsavedFilePath(const QString &databasePath, const QDateTime &when)
{
    const QFileInfo db(databasePath.isEmpty() ? QStringLiteral("jykdb.mdb") : databasePath);
    const QString stem = db.completeBaseName() + QStringLiteral("-unsaved-")
        + when.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QDir dir = db.absoluteDir();
    QString path = dir.filePath(stem + QStringLiteral(".txt"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + QStringLiteral("-%1.txt").arg(n));
    return path;
}

QString writeUnsaved(const QString &databasePath, const QByteArray &bytes, QString *error)
{
    const QString path = unsavedFilePath(databasePath, QDateTime::currentDateTime());
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && f.write(bytes) == bytes.size() && f.flush()
        && ::fsync(f.handle()) == 0;
    if (ok)
        return path;
    if (error)
        *error = path + QStringLiteral(": ") + f.errorString();
    f.close();
    if (f.exists() && f.size() == 0)
        f.remove();
    return QString();
}

} // namespace intake
