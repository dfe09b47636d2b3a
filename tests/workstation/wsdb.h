#pragma once
// Rows the workstation tests put into a fresh database, and what they read back.
#include "platform/db/command.h"
#include "platform/db/connection.h"
#include "platform/db/dataset.h"

#include <QMap>

#include <gtest/gtest.h>

namespace wst {

inline const QString kOperator = QStringLiteral("李四");
inline const QString kDay = QStringLiteral("2026-12-06");

inline void run(const QString &sql, const QVariantList &params = {})
{
    QString err;
    ASSERT_TRUE(db::exec(sql, params, &err)) << err.toStdString() << " in " << sql.toStdString();
}

inline void addPatient(const QString &id, const QString &name = {}, const QVariant &printflag = 0,
                       const QString &op = kOperator, const QString &sex = {}, const QString &date = kDay)
{
    run(QStringLiteral("insert into patient (shelfid, name, sex, printflag, operator, checkdate) "
                       "values (?, ?, ?, ?, ?, ?)"),
        {id, name.isEmpty() ? QStringLiteral("病人") + id : name, sex, printflag, op, date});
}

inline void addResult(const QString &id, int itemid, const QString &value, const QString &date = kDay)
{
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"), {id, date, itemid, value});
}

// Several results of one sample: {{item, value}, ...}.
inline void addResults(const QString &id, std::initializer_list<std::pair<int, const char *>> results,
                       const QString &date = kDay)
{
    for (const auto &[item, value] : results)
        addResult(id, item, QString::fromUtf8(value), date);
}

// A visit of an earlier day, as the end of day archives it.
inline void archive(const QString &shelfid, const QString &day, const QString &name = {}, const QString &sex = {},
                    const QString &caseno = {}, const QString &mzno = {}, const QString &depart = {},
                    const QVariant &bgtime = {})
{
    run(QStringLiteral("insert into histpatient (shelfid, checkdate, name, sex, caseno, mzno, depart, bgtime) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?)"), {shelfid, day, name, sex, caseno, mzno, depart, bgtime});
}

inline void archiveResult(const QString &shelfid, const QString &day, int itemid, const QString &value = "1")
{
    run(QStringLiteral("insert into hisresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"), {shelfid, day, itemid, value});
}

// The stored values of items of one sample, "/"-joined: "<none>" for an item
// the sample has no row of, duplicate rows as "a|b".
inline QString stored(const QString &id, std::initializer_list<int> items)
{
    QStringList out;
    for (int item : items) {
        const QVariant v = db::scalar(QStringLiteral("select group_concat(value, '|') from testresult "
                                                     "where shelfid=? and itemid=?"), {id, item});
        out << (v.isNull() ? QStringLiteral("<none>") : v.toString());
    }
    return out.join(QLatin1Char('/'));
}

using Rows = QVector<QVariantList>;

inline Rows rows(const QString &sql, QSqlDatabase d = db::database())
{
    Rows r;
    QString err;
    EXPECT_TRUE(db::select(d, sql, {}, &r, &err)) << err.toStdString();
    return r;
}

// Every day and history table, rows in storage order, values with their types.
inline QMap<QString, Rows> dump(QSqlDatabase d = db::database())
{
    QMap<QString, Rows> m;
    for (const char *t : {"patient", "testresult", "gresult", "histpatient", "hisresult", "hisgresult"})
        m[QLatin1String(t)] = rows(QStringLiteral("select * from %1 order by rowid").arg(QLatin1String(t)), d);
    return m;
}

// One field of every record of a dataset.
inline QStringList column(const db::Dataset &ds, const char *field)
{
    QStringList out;
    for (int i = 0; i < ds.recordCount(); ++i)
        out << ds.valueAt(i, QLatin1String(field)).toString();
    return out;
}

// Rows of a table, all of them or those of one sample number.
inline int rowsUnder(const char *table, const QString &id)
{
    return db::scalar(QStringLiteral("select count(*) from %1 where shelfid=?").arg(QLatin1String(table)), {id}).toInt();
}
inline int count(const QString &table) { return db::scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt(); }

} // namespace wst
