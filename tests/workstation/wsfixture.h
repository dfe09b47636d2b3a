#pragma once
// The workstation window tests' common ground: the main window made as
// start-up makes it, a work date and operator 李四, and row helpers.
#include "base/CustData.h"
#include "app/Unit1.h"
#include "base/session.h"
#include "graphics/graphdata.h"
#include "mainwindowtest.h"
#include "platform/db/dataset.h"
#include "platform/widgets/statusbar.h"
#include "wsdb.h"

#include <gtest/gtest.h>

namespace wst {

inline QStringList column(db::Dataset *ds, const char *field) { return column(*ds, field); }

// A sample's graph lines into gresult (or the history's hisgresult).
inline void addGraphs(const QString &id, const graphics::GraphRow &g, const char *table = "gresult",
                      const QString &date = kDay)
{
    QVariantList p{id, date};
    for (int i = 1; i <= 12; ++i)
        p << QString::fromLatin1(g.a[i]);
    run(QStringLiteral("insert into %1 (shelfid,checkdate,a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12) "
                       "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(QLatin1String(table)), p);
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
