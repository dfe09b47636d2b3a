#include "testdb.h"

#include "base/database.h"
#include "platform/db/connection.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testdb {

QString tempDir()
{
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    dirs.push_back(std::make_unique<QTemporaryDir>());
    return dirs.back()->path();
}

QString fresh(bool withDefaults)
{
    const QString path = tempDir() + QStringLiteral("/jykdb.mdb");
    QString error;
    if (!appdb::createDatabaseFile(path, withDefaults, &error))
        throw std::runtime_error(("cannot create test database: " + error).toStdString());
    if (!db::connect(path, &error))
        throw std::runtime_error(("cannot open test database: " + error).toStdString());
    return path;
}

QString outputDir()
{
    QString dir = qEnvironmentVariable("VORLAN_TEST_OUT");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/vorlan-test-output");
    QDir().mkpath(dir);
    return dir;
}

QString sourceDir()
{
    const QString dir = qEnvironmentVariable("VORLAN_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(".") : dir;
}

FileLock::FileLock(const QString &path)
    : m_name(QStringLiteral("file-lock-%1").arg(quintptr(this)))
{
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    other.setDatabaseName(path);
    m_held = other.open() && QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE"));
}

void FileLock::release()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close(); // closing ends the transaction
    QSqlDatabase::removeDatabase(m_name);
    m_held = false;
}

} // namespace testdb
