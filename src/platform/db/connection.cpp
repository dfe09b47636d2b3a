#include "platform/db/connection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace db {

bool connectNamed(const QString &name, const QString &path, QString *error)
{
    // QSQLITE would create an empty file for a missing one; every query would
    // then fail with "no such table". A missing file is an error here.
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("数据库文件不存在：%1").arg(path);
        return false;
    }
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    d.setDatabaseName(path);
    d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!d.open()) {
        if (error)
            *error = d.lastError().text();
        d = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    if (!registerSqlFunctions(d, error)) {
        d.close();
        return false;
    }
    QSqlQuery q(d);
    q.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    return true;
}

bool connect(const QString &path, QString *error)
{
    return connectNamed(QString::fromLatin1(kConnectionName), path, error);
}

void disconnect()
{
    const QString name = QString::fromLatin1(kConnectionName);
    if (QSqlDatabase::contains(name))
        QSqlDatabase::database(name, false).close();
}

bool isConnected()
{
    const QString name = QString::fromLatin1(kConnectionName);
    return QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen();
}

QSqlDatabase database()
{
    return QSqlDatabase::database(QString::fromLatin1(kConnectionName), false);
}

} // namespace db
