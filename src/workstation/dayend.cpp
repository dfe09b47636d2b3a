#include "workstation/dayend.h"

#include "platform/db/command.h"

namespace ws {

namespace {

// The history tables keep the day tables' columns under the same names but
// in another order (hisresult even has its counter in the middle), and an
// insert-select matches columns by position: every copy names both lists.
const char *const kPatientColumns = "shelfid, mzno, caseno, name, sex, age, depart, kind, diagnose, doctor, "
                                    "taketime, takedate, apperance, checkdate, operator, bedno, bgtime";
const char *const kResultColumns = "shelfid, itemid, value, checkdate";
const char *const kGraphColumns = "shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, checkdate";

QString copySql(const char *target, const char *source, const char *columns)
{
    return QStringLiteral("INSERT INTO %1 (%3) SELECT %3 FROM %2")
        .arg(QLatin1String(target), QLatin1String(source), QLatin1String(columns));
}

} // namespace

bool archiveDay(QSqlDatabase db, QString *error, DayEndCounts *counts)
{
    DayEndCounts n;
    const QString control = QString::fromUtf8(kControlNamePattern);
    db::Transaction tx(db);
    if (!tx.begin(error))
        return false;

    // Control samples: their results and graphs go before their
    // registrations, which are what identify them. A sample is its number
    // and its day: the same number may be a patient's on another day still
    // in the tables, whose results must reach the history.
    for (const char *table : {"testresult", "gresult"}) {
        if (!db::exec(db,
                      QStringLiteral("DELETE FROM %1 WHERE EXISTS (SELECT 1 FROM patient p WHERE p.name LIKE ? "
                                     "AND p.shelfid = %1.shelfid AND p.checkdate IS %1.checkdate)")
                          .arg(QLatin1String(table)),
                      {control}, error))
            return false;
    }
    if (!db::exec(db, QStringLiteral("DELETE FROM patient WHERE name LIKE ?"), {control}, error, &n.controlSamples))
        return false;

    // printflag belongs to the working day and is not archived.
    if (!db::exec(db, copySql("histpatient", "patient", kPatientColumns), {}, error, &n.patients))
        return false;
    // rowno of hisresult is the table's own counter.
    if (!db::exec(db, copySql("hisresult", "testresult", kResultColumns), {}, error, &n.results))
        return false;
    if (!db::exec(db, copySql("hisgresult", "gresult", kGraphColumns), {}, error, &n.graphs))
        return false;

    for (const char *table : {"patient", "testresult", "gresult"}) {
        if (!db::exec(db, QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, error))
            return false;
    }
    if (!tx.commit(error))
        return false;
    if (counts)
        *counts = n;
    return true;
}

} // namespace ws
