#include "platform/db/command.h"

#include "platform/db/connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace db {

namespace {
QString errorText(const QSqlQuery &q)
{
    QString t = q.lastError().text();
    if (t.trimmed().isEmpty())
        t = QStringLiteral("数据库错误");
    return t;
}

bool prepareAndRun(QSqlQuery &q, const QString &sql, const QVariantList &params, QString *error)
{
    if (!q.prepare(sql)) {
        if (error)
            *error = errorText(q);
        return false;
    }
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec()) {
        if (error)
            *error = errorText(q);
        return false;
    }
    return true;
}
} // namespace

bool exec(QSqlDatabase d, const QString &sql, const QVariantList &params, QString *error,
          int *rowsAffected, QVariant *lastInsertId)
{
    if (!d.isOpen()) {
        if (error)
            *error = QStringLiteral("数据库未连接");
        return false;
    }
    QSqlQuery q(d);
    if (!prepareAndRun(q, sql, params, error))
        return false;
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    if (lastInsertId)
        *lastInsertId = q.lastInsertId();
    return true;
}

bool exec(const QString &sql, const QVariantList &params, QString *error, int *rowsAffected,
          QVariant *lastInsertId)
{
    return exec(database(), sql, params, error, rowsAffected, lastInsertId);
}

bool select(QSqlDatabase d, const QString &sql, const QVariantList &params,
            QVector<QVariantList> *rows, QString *error, QStringList *columns)
{
    if (rows)
        rows->clear();
    if (!d.isOpen()) {
        if (error)
            *error = QStringLiteral("数据库未连接");
        return false;
    }
    QSqlQuery q(d);
    q.setForwardOnly(true);
    if (!prepareAndRun(q, sql, params, error))
        return false;
    const QSqlRecord rec = q.record();
    if (columns) {
        columns->clear();
        for (int i = 0; i < rec.count(); ++i)
            columns->append(rec.fieldName(i));
    }
    while (q.next()) {
        if (!rows)
            continue;
        QVariantList r;
        r.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i) {
            const QVariant v = q.value(i);
            r.append(v.isNull() ? QVariant() : v);
        }
        rows->append(std::move(r));
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = errorText(q);
        return false;
    }
    return true;
}

bool select(const QString &sql, const QVariantList &params, QVector<QVariantList> *rows,
            QString *error, QStringList *columns)
{
    return select(database(), sql, params, rows, error, columns);
}

QVariant scalar(const QString &sql, const QVariantList &params, bool *ok, QString *error)
{
    QVector<QVariantList> rows;
    const bool good = select(sql, params, &rows, error);
    if (ok)
        *ok = good;
    if (!good || rows.isEmpty() || rows.first().isEmpty())
        return QVariant();
    return rows.first().first();
}

Transaction::Transaction(QSqlDatabase d)
    : m_db(d.isValid() ? d : database())
{
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::begin(QString *error)
{
    if (!m_db.transaction()) {
        if (error)
            *error = m_db.lastError().text().isEmpty() ? QStringLiteral("无法开始事务")
                                                       : m_db.lastError().text();
        return false;
    }
    m_active = true;
    return true;
}

bool Transaction::commit(QString *error)
{
    if (!m_active) {
        if (error)
            *error = QStringLiteral("事务未开始");
        return false;
    }
    if (!m_db.commit()) {
        if (error)
            *error = m_db.lastError().text().isEmpty() ? QStringLiteral("无法提交事务")
                                                       : m_db.lastError().text();
        rollback();
        return false;
    }
    m_active = false;
    return true;
}

void Transaction::rollback()
{
    if (m_active) {
        m_db.rollback();
        m_active = false;
    }
}

} // namespace db
