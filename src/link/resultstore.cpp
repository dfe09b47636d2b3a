#include "link/resultstore.h"

#include "base/textutil.h"
#include "platform/db/command.h"

#include <QSqlDriver>
#include <sqlite3.h>

namespace intake {

namespace {

// The busy timeout the program's connection is opened with.
constexpr int kConnectionBusyTimeoutMs = 5000;

// Shortens the connection's wait for locks while it stores a record, so that
// a database held by another program costs the window a moment, not seconds.
class ShortBusyTimeout
{
public:
    ShortBusyTimeout(QSqlDatabase db, int ms)
    {
        const QVariant v = db.isOpen() ? db.driver()->handle() : QVariant();
        if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
            m_handle = *static_cast<sqlite3 *const *>(v.data());
        if (m_handle)
            sqlite3_busy_timeout(m_handle, ms);
    }
    ~ShortBusyTimeout()
    {
        if (m_handle)
            sqlite3_busy_timeout(m_handle, kConnectionBusyTimeoutMs);
    }
    ShortBusyTimeout(const ShortBusyTimeout &) = delete;
    ShortBusyTimeout &operator=(const ShortBusyTimeout &) = delete;

private:
    sqlite3 *m_handle = nullptr;
};

} // namespace

bool loadItems(QSqlDatabase db, QVector<ItemDef> *items, QString *error)
{
    QVector<QVariantList> rows;
    if (!db::select(db, QStringLiteral("SELECT itemid, itemmark, hsyz, bitnum, abbreviation FROM itemtb ORDER BY itemid"),
                    {}, &rows, error))
        return false;
    items->clear();
    items->reserve(rows.size());
    for (const QVariantList &row : rows) {
        ItemDef d;
        d.itemid = row.at(0).toInt();
        d.mark = trimCtl(row.at(1).toString()).toLatin1();
        d.hsyz = Currency::fromVariant(row.at(2));
        d.bitnum = row.at(3).isNull() ? 0 : row.at(3).toInt();
        d.name = row.at(4).toString().trimmed();
        if (d.name.isEmpty())
            d.name = QString::number(d.itemid);
        items->append(d);
    }
    return true;
}

bool storeRecord(QSqlDatabase db, const ParsedRecord &record, const QString &workDate, QString *error)
{
    db::Transaction tx(db);
    if (!tx.begin(error))
        return false;

    // A sample is its number and its day: a resent record replaces the
    // day's values, while the same number of an earlier day still in the
    // tables (an end of day skipped) is another patient's and stays.
    for (const ItemValue &v : record.values) {
        int changed = 0;
        if (!db::exec(db,
                      QStringLiteral("UPDATE testresult SET value = ? "
                                     "WHERE shelfid = ? AND checkdate = ? AND itemid = ?"),
                      {v.value, record.shelfid, workDate, v.itemid}, error, &changed))
            return false;
        if (changed == 0
            && !db::exec(db,
                         QStringLiteral("INSERT INTO testresult (shelfid, itemid, value, checkdate) "
                                        "VALUES (?, ?, ?, ?)"),
                         {record.shelfid, v.itemid, v.value, workDate}, error))
            return false;
    }

    QVariantList params;
    for (const QString &g : record.graph)
        params.append(g);
    params.append(record.shelfid);
    params.append(workDate);
    int changed = 0;
    if (!db::exec(db,
                  QStringLiteral("UPDATE gresult SET a1 = ?, a2 = ?, a3 = ?, a4 = ?, a5 = ?, a6 = ?, "
                                 "a7 = ?, a8 = ?, a9 = ?, a10 = ?, a11 = ?, a12 = ? "
                                 "WHERE shelfid = ? AND checkdate = ?"),
                  params, error, &changed))
        return false;
    if (changed == 0) {
        params.move(params.size() - 2, 0); // shelfid first, the day last
        if (!db::exec(db,
                      QStringLiteral("INSERT INTO gresult (shelfid, a1, a2, a3, a4, a5, a6, a7, a8, a9, "
                                     "a10, a11, a12, checkdate) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      params, error))
            return false;
    }
    return tx.commit(error);
}

SaveOutcome DataSavetoTB(QSqlDatabase db, const QByteArray &record, const QString &workDate,
                         QVector<ItemDef> *catalogue)
{
    SaveOutcome out;
    ShortBusyTimeout wait(db, kIntakeBusyTimeoutMs);
    QVector<ItemDef> items;
    if (!loadItems(db, &items, &out.error)) {
        // Without the catalogue the record cannot be read yet; it waits.
        out.failed = true;
        if (const auto r = parseRecord(record, {}))
            out.shelfid = r->shelfid;
        return out;
    }
    if (catalogue)
        *catalogue = items;
    const auto r = parseRecord(record, items);
    if (!r)
        return out;
    out.shelfid = r->shelfid;
    out.numbers = r->numbers;
    if (r->ambiguous) {
        out.ambiguous = true;
        return out;
    }
    out.malformed = r->malformed;
    for (int id : r->unconverted)
        for (const ItemDef &it : items)
            if (it.itemid == id)
                out.unconverted.append(it.name);
    if (storeRecord(db, *r, workDate, &out.error))
        out.stored = true;
    else
        out.failed = true;
    return out;
}

} // namespace intake
