#pragma once
// Reading the day tables back, for the tests that store records.
#include "platform/db/command.h"

#include <QStringList>
#include <QVector>
#include <gtest/gtest.h>

namespace tables {

// Every row of a query as texts, NULL as <null>.
inline QVector<QStringList> rows(const QString &sql, const QVariantList &params = {})
{
    QVector<QVariantList> rs;
    EXPECT_TRUE(db::select(sql, params, &rs)) << qPrintable(sql);
    QVector<QStringList> out;
    for (const auto &r : rs) {
        out.append(QStringList());
        for (const QVariant &v : r)
            out.last() << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    }
    return out;
}

inline int count(const char *sql, const QVariantList &params = {}) { return db::scalar(sql, params).toInt(); }

// Both day tables in a fixed order; emptied after reading.
inline QVector<QStringList> takeAll()
{
    const auto out = rows(QStringLiteral("SELECT shelfid, itemid, value, checkdate FROM testresult "
                                         "ORDER BY shelfid, itemid, value"))
        + rows(QStringLiteral("SELECT * FROM gresult ORDER BY shelfid, a5"));
    EXPECT_TRUE(db::exec(QStringLiteral("DELETE FROM testresult")) && db::exec(QStringLiteral("DELETE FROM gresult")));
    return out;
}

} // namespace tables
