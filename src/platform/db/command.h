#pragma once
// A statement run once with positional parameters, and a transaction guard.
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

namespace db {

// Runs a statement (insert, update, delete, DDL) with positional parameters
// ('?' or ':name' placeholders, filled in order). Returns false with the
// database's text in *error on any failure.
bool exec(const QString &sql, const QVariantList &params = {}, QString *error = nullptr,
          int *rowsAffected = nullptr, QVariant *lastInsertId = nullptr);
bool exec(QSqlDatabase db, const QString &sql, const QVariantList &params = {},
          QString *error = nullptr, int *rowsAffected = nullptr, QVariant *lastInsertId = nullptr);

// Runs a query and returns all its rows (each a list of column values, NULL as
// an invalid QVariant). Returns false on failure.
bool select(const QString &sql, const QVariantList &params, QVector<QVariantList> *rows,
            QString *error = nullptr, QStringList *columns = nullptr);
bool select(QSqlDatabase db, const QString &sql, const QVariantList &params,
            QVector<QVariantList> *rows, QString *error = nullptr, QStringList *columns = nullptr);

// First column of the first row, or an invalid QVariant when there is none
// (*ok is false only on a database failure).
QVariant scalar(const QString &sql, const QVariantList &params = {}, bool *ok = nullptr,
                QString *error = nullptr);

// One transaction: rolled back on destruction unless commit() succeeded.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db = QSqlDatabase());
    ~Transaction();
    bool begin(QString *error = nullptr);
    bool commit(QString *error = nullptr);
    void rollback();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    QSqlDatabase m_db;
    bool m_active = false;
};

// A statement object: SQL text set, parameters bound, then executed.
class Command
{
public:
    QString commandText;
    QVariantList params;
    bool execute(QString *error = nullptr) { return exec(commandText, params, error, &m_rows); }
    int rowsAffected() const { return m_rows; }

private:
    int m_rows = 0;
};

} // namespace db
