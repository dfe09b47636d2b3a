#include "workstation/sampleedit.h"

#include "base/currency.h"
#include "base/textutil.h"
#include "platform/db/command.h"

#include <QSqlDatabase>

namespace ws {

namespace {

// LIKE with the typed text taken literally: its wildcards and the escape
// character itself are escaped.
QString likeLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

std::optional<ItemChoice> findItem(const QString &typed, QString *error)
{
    if (error)
        error->clear();
    QString sql;
    QVariant key;
    int lead = 0;
    while (lead < typed.size() && typed[lead] == QLatin1Char(' '))
        ++lead;
    if (const auto number = parseWholeNumber(typed.mid(lead))) {
        sql = QStringLiteral("select itemid, name, abbreviation, bitnum from itemtb where itemid=? order by rowno");
        key = *number;
    } else {
        sql = QStringLiteral("select itemid, name, abbreviation, bitnum from itemtb "
                             "where abbreviation like ? escape '\\' order by rowno");
        key = likeLiteral(typed);
    }
    QVector<QVariantList> rows;
    if (!db::select(sql, {key}, &rows, error) || rows.isEmpty())
        return std::nullopt;
    const QVariantList &r = rows.first();
    ItemChoice c;
    c.itemid = r.value(0).toInt();
    c.label = r.value(1).toString() + QLatin1Char('[') + r.value(2).toString() + QLatin1Char(']');
    c.bitnum = qMax(0, r.value(3).toInt());
    return c;
}

bool storeResult(const QString &shelfid, const QString &checkdate, int itemid, const QString &value,
                 QString *error)
{
    db::Transaction t;
    if (!t.begin(error))
        return false;
    int changed = 0;
    if (!db::exec(QStringLiteral("update testresult set value=? where shelfid=? and checkdate is ? and itemid=?"),
                  {value, shelfid, checkdate, itemid}, error, &changed))
        return false;
    if (changed == 0
        && !db::exec(QStringLiteral("insert into testresult (shelfid, checkdate, itemid, value) values (?, ?, ?, ?)"),
                     {shelfid, checkdate, itemid, value}, error))
        return false;
    return t.commit(error);
}

bool deleteSample(const QString &shelfid, const QVariant &checkdate, QString *error)
{
    db::Transaction t;
    if (!t.begin(error))
        return false;
    for (const char *table : {"testresult", "gresult", "patient"}) {
        if (!db::exec(QStringLiteral("delete from %1 where shelfid=? and checkdate is ?").arg(QLatin1String(table)),
                      {shelfid, checkdate}, error))
            return false;
    }
    return t.commit(error);
}

bool numberUse(const QString &from, const QString &to, NumberUse *use, QString *error)
{
    Q_UNUSED(from);
    *use = NumberUse::Free;
    bool ok = false;
    const QVariant n = db::scalar(QStringLiteral("select count(*) from patient where shelfid=?"), {to}, &ok, error);
    if (!ok)
        return false;
    if (n.toLongLong() > 0)
        *use = NumberUse::Registered;
    return true;
}

bool renumberSample(const QString &from, const QVariant &checkdate, const QString &to, NumberUse *use,
                    QString *error)
{
    if (error)
        error->clear();
    db::Transaction t;
    if (!t.begin(error))
        return false;
    // Checked inside the transaction, so the answer still holds when the row moves.
    if (!numberUse(from, to, use, error))
        return false;
    if (*use != NumberUse::Free)
        return false;
    // Only the registration moves: it joins whatever results are stored
    // under the new number (the particulars were typed under the wrong one),
    // and results under the old number stay there unregistered.
    if (!db::exec(QStringLiteral("update patient set shelfid=? where shelfid=? and checkdate is ?"),
                  {to, from, checkdate}, error))
        return false;
    return t.commit(error);
}

} // namespace ws
