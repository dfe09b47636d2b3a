#include "workstation/history.h"

#include "app/dates.h"
#include "app/textutil.h"
#include "platform/db/command.h"

#include <QLocale>

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

BoundSql historySearch(const HistoryFilter &f)
{
    // bgtime is read as well, so the grid's report time and a reprinted
    // report show when the sample was first reported.
    BoundSql q;
    q.sql = QStringLiteral(
        "select checkdate,name,sex,age,mzno,caseno,depart,bedno,kind,apperance,takedate,taketime,"
        "doctor,diagnose,shelfid,operator,bgtime from histpatient where checkdate>=? and checkdate<=?");
    q.params = {isoDate(f.first), isoDate(f.last)};
    if (!hasParticulars(f)) {
        q.sql += QStringLiteral(" order by checkdate desc, val(shelfid) asc, shelfid");
        return q;
    }
    const auto like = [&q](const char *column, const QString &pattern) {
        q.sql += QStringLiteral(" and (%1 like ?)").arg(QLatin1String(column));
        q.params.append(pattern);
    };
    if (!f.name.isEmpty())
        like("name", QLatin1Char('%') + f.name + QLatin1Char('%'));
    if (!f.caseno.isEmpty())
        like("caseno", f.caseno);
    if (!f.mzno.isEmpty())
        like("mzno", f.mzno);
    if (!f.sex.isEmpty())
        like("sex", f.sex);
    if (!f.depart.isEmpty())
        like("depart", f.depart);
    q.sql += QStringLiteral(" order by rowid");
    return q;
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

std::optional<int> workloadCount(const QDate &first, const QDate &last, QString *error)
{
    static const char *const pairs[][2] = {{"patient", "testresult"}, {"histpatient", "hisresult"}};
    int total = 0;
    for (const auto &p : pairs) {
        const QString sql =
            QStringLiteral("select count(*) as num from (select distinct a.checkdate, a.shelfid from %1 a, %2 b "
                           "where a.shelfid = b.shelfid and a.checkdate = b.checkdate "
                           "and a.checkdate >= ? and a.checkdate <= ?) m")
                .arg(QLatin1String(p[0]), QLatin1String(p[1]));
        bool ok = false;
        const QVariant n = db::scalar(sql, {isoDate(first), isoDate(last)}, &ok, error);
        if (!ok)
            return std::nullopt;
        total += n.toInt();
    }
    return total;
}

} // namespace ws
