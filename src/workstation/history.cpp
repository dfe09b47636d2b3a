#include "workstation/history.h"

#include "base/dates.h"
#include "base/textutil.h"
#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

namespace ws {

std::optional<QDate> parseTypedDate(const QString &text)
{
    const QString t = trimCtl(text);
    QDate d = parseUserDate(t);
    if (!d.isValid() && !t.isEmpty())
        d = QLocale::system().toDate(t, QLocale::ShortFormat);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString invalidDateMessage(const QString &text)
{
    return QStringLiteral("'%1'不是有效的日期").arg(text);
}

bool hasParticulars(const HistoryFilter &f)
{
    return !f.name.isEmpty() || !f.caseno.isEmpty() || !f.mzno.isEmpty() || !f.sex.isEmpty()
           || !f.depart.isEmpty();
}

const QStringList &historyColumns()
{
    // bgtime is read as well, so the grid's report time and a reprinted
    // report show when the sample was first reported.
    static const QStringList columns{
        QStringLiteral("checkdate"), QStringLiteral("name"),     QStringLiteral("sex"),
        QStringLiteral("age"),       QStringLiteral("mzno"),     QStringLiteral("caseno"),
        QStringLiteral("depart"),    QStringLiteral("bedno"),    QStringLiteral("kind"),
        QStringLiteral("apperance"), QStringLiteral("takedate"), QStringLiteral("taketime"),
        QStringLiteral("doctor"),    QStringLiteral("diagnose"), QStringLiteral("shelfid"),
        QStringLiteral("operator"),  QStringLiteral("bgtime")};
    return columns;
}

namespace {
bool hasWildcard(const QString &pattern)
{
    return pattern.contains(QLatin1Char('%')) || pattern.contains(QLatin1Char('_'));
}
} // namespace

BoundSql historySearch(const HistoryFilter &f)
{
    // Only the row numbers: ten years of archive make hundreds of thousands
    // of rows, and the page reads the particulars of those it shows.
    BoundSql q;
    if (!hasParticulars(f)) {
        q.sql = QStringLiteral("select rowid from histpatient where checkdate>=? and checkdate<=? "
                               "order by checkdate desc, val(shelfid) asc, shelfid");
        q.params = {isoDate(f.first), isoDate(f.last)};
        return q;
    }
    // A number, sex or department typed without wildcards is one whole
    // value: compared with = under the case rule LIKE uses (ASCII letters in
    // either case), the number and department are found through their own
    // index and the days narrow that index's entries.
    q.sql = QStringLiteral("select rowid from histpatient where (checkdate>=?) and (checkdate<=?)");
    q.params = {isoDate(f.first), isoDate(f.last)};
    const auto match = [&q](const char *column, const QString &pattern) {
        if (hasWildcard(pattern))
            q.sql += QStringLiteral(" and (%1 like ?)").arg(QLatin1String(column));
        else
            q.sql += QStringLiteral(" and (%1 = ? collate nocase)").arg(QLatin1String(column));
        q.params.append(pattern);
    };
    if (!f.name.isEmpty()) {
        q.sql += QStringLiteral(" and (name like ?)");
        q.params.append(QLatin1Char('%') + f.name + QLatin1Char('%'));
    }
    if (!f.caseno.isEmpty())
        match("caseno", f.caseno);
    if (!f.mzno.isEmpty())
        match("mzno", f.mzno);
    if (!f.sex.isEmpty())
        match("sex", f.sex);
    if (!f.depart.isEmpty())
        match("depart", f.depart);
    q.sql += QStringLiteral(" order by rowid");
    return q;
}

bool findHistory(QSqlDatabase db, const HistoryFilter &f, QVector<qint64> *keys, QString *error)
{
    const BoundSql q = historySearch(f);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(q.sql)) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    for (int i = 0; i < q.params.size(); ++i)
        query.bindValue(i, q.params.at(i));
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    keys->clear();
    while (query.next())
        keys->append(query.value(0).toLongLong());
    if (query.lastError().isValid()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    return true;
}

QString historyResultsSql()
{
    // The name and abbreviation come from the catalogue by item number; a
    // result whose item has gone from the catalogue still shows its value.
    return QStringLiteral(
        "select a.checkdate, a.itemid, a.value, a.rowno, a.shelfid, "
        "(select i.abbreviation from itemtb i where i.itemid = a.itemid order by i.rowno limit 1) as abbreviation, "
        "(select i.name from itemtb i where i.itemid = a.itemid order by i.rowno limit 1) as name "
        "from hisresult a where (a.shelfid = ?) and (a.checkdate = ?) order by a.itemid, a.rowno");
}

QString historyGraphSql()
{
    return QStringLiteral("select * from hisgresult a where (a.shelfid = ?) and (a.checkdate = ?)");
}

QString historyPrintRowsSql()
{
    return QStringLiteral(
        "select b.name, b.abbreviation, a.value, b.unit, b.manhigh, b.manlow, b.womanhigh, b.womanlow "
        "from hisresult a, itemtb b where (a.itemid = b.itemid) and (a.shelfid = ?) and (a.checkdate = ?) "
        "order by b.printorder, a.rowno");
}

bool departmentOnEnter(const QString &text, const QStringList &entries, QString *result, QString *error)
{
    if (const std::optional<int> n = parseWholeNumber(text)) {
        *result = (*n >= 1 && *n <= entries.size()) ? entries.at(*n - 1) : QString();
        return true;
    }
    QVector<QVariantList> rows;
    if (!db::select(QStringLiteral("select name from department where suoxie like ?"), {text}, &rows, error))
        return false;
    *result = rows.isEmpty() ? text : rows.first().value(0).toString();
    return true;
}

QString workloadCountSql(bool archived)
{
    // Each registration of the range counts once per (day, number) when a
    // result of that day exists: one look into the results' index per
    // registration, never the millions of result rows themselves.
    return QStringLiteral("select count(*) as num from (select distinct a.checkdate, a.shelfid from %1 a "
                          "where a.checkdate >= ? and a.checkdate <= ? and exists "
                          "(select 1 from %2 b where b.checkdate = a.checkdate and b.shelfid = a.shelfid)) m")
        .arg(QLatin1String(archived ? "histpatient" : "patient"), QLatin1String(archived ? "hisresult" : "testresult"));
}

std::optional<int> workloadCount(const QDate &first, const QDate &last, QString *error)
{
    return workloadCount(db::database(), first, last, error);
}

std::optional<int> workloadCount(QSqlDatabase db, const QDate &first, const QDate &last, QString *error)
{
    int total = 0;
    for (const bool archived : {false, true}) {
        const QString sql = workloadCountSql(archived);
        QVector<QVariantList> rows;
        if (!db::select(db, sql, {isoDate(first), isoDate(last)}, &rows, error))
            return std::nullopt;
        total += rows.value(0).value(0).toInt();
    }
    return total;
}

} // namespace ws
