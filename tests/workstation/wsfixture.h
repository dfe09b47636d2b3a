#pragma once
// The workstation window tests' common ground: the main window made as
// start-up makes it, a work date and operator 李四, and row helpers.
#include "app/CustData.h"
#include "app/Unit1.h"
#include "app/session.h"
#include "mainwindowtest.h"
#include "platform/db/command.h"
#include "platform/widgets/statusbar.h"

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
    run(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
        {id, date, itemid, value});
}

// The stored value, or "<none>" when the sample has no row for the item.
inline QString stored(const QString &id, int itemid)
{
    const QVariant v = db::scalar(QStringLiteral("select value from testresult where shelfid=? and itemid=?"), {id, itemid});
    return v.isValid() ? v.toString() : QStringLiteral("<none>");
}

inline int rowsUnder(const char *table, const QString &id)
{
    return db::scalar(QStringLiteral("select count(*) from %1 where shelfid=?").arg(QLatin1String(table)), {id}).toInt();
}

inline int count(const QString &table)
{
    return db::scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
}

inline QStringList column(db::Dataset *ds, const char *field)
{
    QStringList out;
    for (int i = 0; i < ds->recordCount(); ++i)
        out << ds->valueAt(i, QLatin1String(field)).toString();
    return out;
}

inline QStringList listIds() { return column(Form1->patientset, "shelfid"); }
inline QString current() { return Form1->patientset->text(QStringLiteral("shelfid")); }

class Workstation : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        session::setWorkdate(QDate(2026, 12, 6));
        session::setCurrentOperator(kOperator);
        createMain();
        Form1->StatusBar1->setPanelText(3, kOperator);
    }
};

} // namespace wst
