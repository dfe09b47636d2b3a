#include "platform/db/dataset.h"

#include "platform/db/command.h"
#include "platform/db/connection.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace db {

namespace {
const QString kRowidColumn = QStringLiteral("vorlan_rowid__");
// Rows of an openRows dataset that keep their values at most: a grid shows
// a few dozen, and paging through many thousands must not grow memory.
constexpr int kKeepFetched = 4096;

bool asNumber(const QVariant &v, double *out)
{
    if (!v.isValid() || v.isNull())
        return false;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        *out = v.toDouble();
        return true;
    default: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (ok)
            *out = d;
        return ok;
    }
    }
}

bool sameValue(const QVariant &a, const QVariant &b, bool caseInsensitive)
{
    const bool an = !a.isValid() || a.isNull();
    const bool bn = !b.isValid() || b.isNull();
    if (an || bn)
        return an && bn;
    const bool aText = a.typeId() == QMetaType::QString || a.typeId() == QMetaType::QByteArray;
    const bool bText = b.typeId() == QMetaType::QString || b.typeId() == QMetaType::QByteArray;
    if (!(aText && bText)) {
        double x, y;
        if (asNumber(a, &x) && asNumber(b, &y))
            return x == y;
    }
    return a.toString().compare(b.toString(), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool identical(const QVariant &a, const QVariant &b)
{
    const bool an = !a.isValid() || a.isNull();
    const bool bn = !b.isValid() || b.isNull();
    if (an || bn)
        return an && bn;
    return a == b && a.toString() == b.toString();
}
} // namespace

Dataset::Dataset(QObject *parent)
    : QObject(parent)
{
}

Dataset::~Dataset() = default;

QSqlDatabase Dataset::db() const
{
    return m_useDefaultDb ? database() : m_db;
}

void Dataset::setParam(int index, const QVariant &value)
{
    while (m_params.size() <= index)
        m_params.append(QVariant());
    m_params[index] = value;
}

QVector<FieldDef> Dataset::fieldDefs() const
{
    if (!m_defs.isEmpty())
        return m_defs;
    QVector<FieldDef> defs;
    for (const QString &c : m_columns) {
        FieldDef d;
        d.name = c;
        defs.append(d);
    }
    return defs;
}

bool Dataset::open(const QString &sql, const QVariantList &params)
{
    close();
    m_sql = sql;
    m_params = params;
    return open();
}

bool Dataset::open()
{
    if (m_state != State::Inactive)
        close();
    m_rowsTable.clear();
    if (!load()) {
        m_state = State::Inactive;
        emit reset();
        return false;
    }
    showFirstRow();
    return true;
}

// Freshly read rows: browse them from the first, the views told of it.
void Dataset::showFirstRow()
{
    m_state = State::Browse;
    applyFilter();
    emit reset();
    emit stateChanged();
    moveTo(0);
    m_bof = true;
}

void Dataset::close()
{
    if (m_state == State::Inactive)
        return;
    m_rows.clear();
    m_visible.clear();
    m_columns.clear();
    m_cur = 0;
    m_eof = m_bof = true;
    m_insertIndex = -1;
    m_fetched.clear();
    m_rowsTable.clear();
    m_state = State::Inactive;
    emit reset();
    emit stateChanged();
}

bool Dataset::requery()
{
    if (m_state == State::Edit || m_state == State::Insert)
        cancel();
    if (!m_rowsTable.isEmpty()) {
        // The same rows, read again from the table when next looked at.
        forgetFetched();
        emit reset();
        moveTo(0);
        m_bof = true;
        return true;
    }
    if (!load()) {
        close();
        return false;
    }
    m_state = State::Browse;
    applyFilter();
    emit reset();
    moveTo(0);
    m_bof = true;
    return true;
}

bool Dataset::load()
{
    m_error.clear();
    QString sql = m_sql;
    const bool writable = !m_updateTable.isEmpty();
    if (writable) {
        // Every written row is found again by its rowid, read as a hidden column.
        static const QRegularExpression selectRe(QStringLiteral("^\\s*select\\s+"),
                                                 QRegularExpression::CaseInsensitiveOption);
        const auto m = selectRe.match(sql);
        if (!m.hasMatch()) {
            m_error = QStringLiteral("只能修改单表查询的数据");
            return false;
        }
        sql.insert(m.capturedEnd(), QStringLiteral("\"%1\".rowid AS %2, ").arg(m_updateTable, kRowidColumn));
    }
    QSqlDatabase d = db();
    if (!d.isOpen()) {
        m_error = QStringLiteral("数据库未连接");
        return false;
    }
    QSqlQuery q(d);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        m_error = q.lastError().text();
        return false;
    }
    for (int i = 0; i < m_params.size(); ++i)
        q.bindValue(i, m_params.at(i));
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    const QSqlRecord rec = q.record();
    const int first = writable ? 1 : 0;
    m_columns.clear();
    for (int i = first; i < rec.count(); ++i)
        m_columns.append(rec.fieldName(i));
    m_rows.clear();
    m_insertIndex = -1;
    while (q.next()) {
        Row r;
        r.uid = m_nextUid++;
        if (writable)
            r.rowid = q.value(0).toLongLong();
        r.values.reserve(m_columns.size());
        for (int i = first; i < rec.count(); ++i) {
            const QVariant v = q.value(i);
            r.values.append(v.isNull() ? QVariant() : v);
        }
        m_rows.append(std::move(r));
        if (m_maxRows > 0 && m_rows.size() >= m_maxRows)
            break;
    }
    if (q.lastError().isValid()) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

void Dataset::assign(const QStringList &columns, const QVector<QVariantList> &rows)
{
    close();
    m_columns = columns;
    for (const QVariantList &values : rows) {
        Row r;
        r.uid = m_nextUid++;
        r.values = values;
        while (r.values.size() < m_columns.size())
            r.values.append(QVariant());
        m_rows.append(r);
    }
    m_state = State::Browse;
    applyFilter();
    emit reset();
    emit stateChanged();
    moveTo(0);
}

bool Dataset::openRows(const QString &table, const QStringList &columns, const QVector<qint64> &rowids)
{
    close();
    m_error.clear();
    if (!m_updateTable.isEmpty()) {
        m_error = QStringLiteral("只能修改单表查询的数据");
        emit reset();
        return false;
    }
    m_rowsTable = table;
    m_columns = columns;
    const int n = (m_maxRows > 0 && rowids.size() > m_maxRows) ? m_maxRows : int(rowids.size());
    m_rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        Row r;
        r.uid = m_nextUid++;
        r.rowid = rowids.at(i);
        m_rows.append(std::move(r));
    }
    showFirstRow();
    return true;
}

void Dataset::fetchRow(int rowIndex) const
{
    if (m_rowsTable.isEmpty() || rowIndex < 0 || rowIndex >= m_rows.size())
        return;
    // Values are a cache of the table's row: filling them changes nothing
    // the caller can see, so const readers may fill them.
    auto *self = const_cast<Dataset *>(this);
    Row &r = self->m_rows[rowIndex];
    if (r.values.size() == m_columns.size())
        return;
    QStringList quoted;
    for (const QString &c : m_columns)
        quoted << QStringLiteral("\"%1\"").arg(c);
    QVector<QVariantList> found;
    QString err;
    if (!select(db(), QStringLiteral("SELECT %1 FROM \"%2\" WHERE rowid = ?").arg(quoted.join(QLatin1Char(',')), m_rowsTable),
                {r.rowid}, &found, &err))
        self->m_error = err;
    r.values = found.isEmpty() ? QVariantList() : found.first();
    while (r.values.size() < m_columns.size())
        r.values.append(QVariant());
    self->m_fetched.append(rowIndex);
    if (m_fetched.size() <= kKeepFetched)
        return;
    const int keep = m_visible.isEmpty() ? -1 : m_visible.value(m_cur, -1);
    QVector<int> kept;
    const int drop = m_fetched.size() - kKeepFetched / 2;
    for (int i = 0; i < m_fetched.size(); ++i) {
        const int idx = m_fetched.at(i);
        if (i >= drop || idx == keep || idx == rowIndex) {
            kept.append(idx);
        } else if (idx < self->m_rows.size() && self->m_rows[idx].rowid != 0) {
            self->m_rows[idx].values = QVariantList();
        }
    }
    self->m_fetched = kept;
}

void Dataset::forgetFetched()
{
    for (int idx : std::as_const(m_fetched))
        if (idx < m_rows.size() && m_rows[idx].rowid != 0 && !(m_state == State::Edit && idx == m_visible.value(m_cur, -1)))
            m_rows[idx].values = QVariantList();
    m_fetched.clear();
}

// --- cursor -----------------------------------------------------------------

Dataset::Row *Dataset::currentRowPtr()
{
    if (m_visible.isEmpty() || m_cur < 0 || m_cur >= m_visible.size())
        return nullptr;
    fetchRow(m_visible[m_cur]);
    return &m_rows[m_visible[m_cur]];
}

const Dataset::Row *Dataset::currentRowPtr() const
{
    if (m_visible.isEmpty() || m_cur < 0 || m_cur >= m_visible.size())
        return nullptr;
    fetchRow(m_visible[m_cur]);
    return &m_rows[m_visible[m_cur]];
}

void Dataset::fireScrolled()
{
    emit currentChanged(currentRow());
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::moveTo(int visibleIndex, bool fireScroll)
{
    if (m_visible.isEmpty()) {
        m_cur = 0;
        m_bof = m_eof = true;
    } else {
        m_cur = qBound(0, visibleIndex, int(m_visible.size()) - 1);
        m_bof = m_eof = false;
    }
    if (fireScroll)
        fireScrolled();
}

bool Dataset::setRecNo(int n)
{
    if (m_state == State::Inactive || n < 1 || n > m_visible.size())
        return false;
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return false;
    if (n > m_visible.size())
        n = m_visible.size();
    moveTo(n - 1);
    return true;
}

void Dataset::first()
{
    if (m_state == State::Inactive)
        return;
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return;
    moveTo(0);
    m_bof = true;
}

void Dataset::last()
{
    if (m_state == State::Inactive)
        return;
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return;
    moveTo(m_visible.size() - 1);
    m_eof = true;
}

void Dataset::next()
{
    if (m_state == State::Inactive)
        return;
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return;
    if (m_cur + 1 < m_visible.size()) {
        moveTo(m_cur + 1);
    } else {
        m_eof = true;
    }
}

void Dataset::prior()
{
    if (m_state == State::Inactive)
        return;
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return;
    if (m_cur > 0) {
        moveTo(m_cur - 1);
    } else {
        m_bof = true;
    }
}

bool Dataset::locate(const QString &field, const QVariant &value, bool caseInsensitive)
{
    const int c = columnIndex(field);
    if (c < 0 || m_state == State::Inactive)
        return false;
    for (int i = 0; i < m_visible.size(); ++i) {
        fetchRow(m_visible[i]);
        if (sameValue(m_rows[m_visible[i]].values.value(c), value, caseInsensitive)) {
            if ((m_state == State::Edit || m_state == State::Insert) && !post())
                return false;
            moveTo(i);
            return true;
        }
    }
    return false;
}

// --- filter -----------------------------------------------------------------

void Dataset::setFilter(const QString &filter)
{
    m_filterText = filter;
    m_filterTerms.clear();
    static const QRegularExpression andRe(QStringLiteral("\\s+and\\s+"), QRegularExpression::CaseInsensitiveOption);
    const QStringList parts = filter.split(andRe, Qt::SkipEmptyParts);
    for (const QString &p : parts) {
        const int eq = p.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString field = p.left(eq).trimmed().remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        QString val = p.mid(eq + 1).trimmed();
        QVariant v;
        if (val.size() >= 2 && val.startsWith(QLatin1Char('\'')) && val.endsWith(QLatin1Char('\''))) {
            v = val.mid(1, val.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
        } else {
            bool ok = false;
            const double d = val.toDouble(&ok);
            v = ok ? QVariant(d) : QVariant(val);
        }
        m_filterTerms.append({field, v});
    }
    if (m_filtered && m_state != State::Inactive) {
        applyFilter();
        emit reset();
        moveTo(0);
    }
}

void Dataset::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (m_state != State::Inactive) {
        if (m_state == State::Edit || m_state == State::Insert)
            post();
        applyFilter();
        emit reset();
        moveTo(0);
    }
}

bool Dataset::rowMatchesFilter(const Row &r) const
{
    for (const auto &t : m_filterTerms) {
        const int c = columnIndex(t.first);
        if (c < 0)
            return false;
        if (!sameValue(r.values.value(c), t.second, false))
            return false;
    }
    return true;
}

void Dataset::applyFilter(int)
{
    m_visible.clear();
    m_visible.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_filtered)
            fetchRow(i);
        if (!m_filtered || rowMatchesFilter(m_rows[i]))
            m_visible.append(i);
    }
    m_cur = 0;
    m_bof = m_eof = m_visible.isEmpty();
}

// --- fields -----------------------------------------------------------------

int Dataset::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant Dataset::value(const QString &field) const
{
    const Row *r = currentRowPtr();
    const int c = columnIndex(field);
    if (!r || c < 0)
        return QVariant();
    return r->values.value(c);
}

QString Dataset::text(const QString &field) const
{
    const QVariant v = value(field);
    return v.isNull() ? QString() : v.toString();
}

bool Dataset::isNull(const QString &field) const
{
    const QVariant v = value(field);
    return !v.isValid() || v.isNull();
}

double Dataset::asFloat(const QString &field) const
{
    return value(field).toDouble();
}

int Dataset::asInteger(const QString &field) const
{
    return value(field).toInt();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= m_visible.size() || column < 0 || column >= m_columns.size())
        return QVariant();
    fetchRow(m_visible[row]);
    return m_rows[m_visible[row]].values.value(column);
}

QVariant Dataset::valueAt(int row, const QString &field) const
{
    return valueAt(row, columnIndex(field));
}

bool Dataset::setValue(const QString &field, const QVariant &value)
{
    const int c = columnIndex(field);
    if (c < 0) {
        m_error = QStringLiteral("字段不存在：%1").arg(field);
        return false;
    }
    QVariant v = (value.isValid() && !value.isNull()) ? value : QVariant();
    if (v.isValid()) {
        for (const FieldDef &d : m_defs) {
            if (!d.check || d.name.compare(field, Qt::CaseInsensitive) != 0)
                continue;
            QString why;
            if (!d.check(d.label.isEmpty() ? d.name : d.label, v, &why)) {
                m_error = why;
                return false;
            }
            break;
        }
    }
    if (m_state == State::Browse && !edit())
        return false;
    Row *r = currentRowPtr();
    if (!r)
        return false;
    r->values[c] = v;
    emit rowChanged(m_cur);
    return true;
}

// --- editing ----------------------------------------------------------------

bool Dataset::edit()
{
    if (m_state == State::Edit || m_state == State::Insert)
        return true;
    if (m_state != State::Browse || !currentRowPtr()) {
        m_error = QStringLiteral("没有可修改的记录");
        return false;
    }
    m_saved = *currentRowPtr();
    m_state = State::Edit;
    emit stateChanged();
    return true;
}

bool Dataset::append()
{
    if (m_state == State::Inactive) {
        m_error = QStringLiteral("数据集未打开");
        return false;
    }
    if ((m_state == State::Edit || m_state == State::Insert) && !post())
        return false;
    Row r;
    r.uid = m_nextUid++;
    for (int i = 0; i < m_columns.size(); ++i)
        r.values.append(QVariant());
    m_rows.append(r);
    m_insertIndex = m_rows.size() - 1;
    m_visible.append(m_insertIndex);
    m_cur = m_visible.size() - 1;
    m_bof = m_eof = false;
    m_state = State::Insert;
    emit rowInserted(m_cur);
    emit stateChanged();
    if (onNewRecord)
        onNewRecord(*this);
    emit rowChanged(m_cur);
    fireScrolled();
    return true;
}

QStringList Dataset::tableColumns()
{
    if (m_tableColumns.isEmpty() && !m_updateTable.isEmpty()) {
        QVector<QVariantList> rows;
        if (select(db(), QStringLiteral("SELECT name FROM pragma_table_info(?)"), {m_updateTable}, &rows))
            for (const auto &r : rows)
                m_tableColumns.append(r.value(0).toString());
    }
    return m_tableColumns;
}

bool Dataset::writeRow(Row &row, QString *error)
{
    const QStringList tcols = tableColumns();
    auto inTable = [&](const QString &c) {
        for (const QString &t : tcols)
            if (t.compare(c, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    const QString table = QStringLiteral("\"%1\"").arg(m_updateTable);
    if (m_state == State::Insert) {
        QStringList cols, marks;
        QVariantList vals;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (!inTable(m_columns[i]) || !row.values[i].isValid())
                continue;
            cols << QStringLiteral("\"%1\"").arg(m_columns[i]);
            marks << QStringLiteral("?");
            vals << row.values[i];
        }
        const QString sql = cols.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        QVariant id;
        if (!exec(db(), sql, vals, error, nullptr, &id))
            return false;
        row.rowid = id.toLongLong();
        // Read back what the table filled in (defaults, auto-numbers).
        QStringList readCols;
        QVector<int> idx;
        for (int i = 0; i < m_columns.size(); ++i) {
            if (inTable(m_columns[i])) {
                readCols << QStringLiteral("\"%1\"").arg(m_columns[i]);
                idx << i;
            }
        }
        if (!readCols.isEmpty()) {
            QVector<QVariantList> rows;
            if (select(db(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(readCols.join(QLatin1Char(',')), table),
                       {row.rowid}, &rows) && !rows.isEmpty()) {
                for (int k = 0; k < idx.size(); ++k)
                    row.values[idx[k]] = rows.first().value(k);
            }
        }
        return true;
    }
    QStringList sets;
    QVariantList vals;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!inTable(m_columns[i]) || identical(row.values[i], m_saved.values.value(i)))
            continue;
        sets << QStringLiteral("\"%1\"=?").arg(m_columns[i]);
        vals << row.values[i];
    }
    if (sets.isEmpty())
        return true;
    vals << row.rowid;
    int affected = 0;
    if (!exec(db(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(table, sets.join(QLatin1Char(','))), vals, error, &affected))
        return false;
    if (affected == 0) {
        if (error)
            *error = QStringLiteral("记录已被删除或修改");
        return false;
    }
    return true;
}

bool Dataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return m_state == State::Browse;
    if (beforePost && !beforePost(*this)) {
        m_error = QStringLiteral("已取消");
        return false;
    }
    Row *r = currentRowPtr();
    if (!r) {
        m_state = State::Browse;
        return false;
    }
    if (!m_updateTable.isEmpty()) {
        QString err;
        if (!writeRow(*r, &err)) {
            m_error = err;
            PostAction action = PostAction::Fail;
            if (onPostError)
                onPostError(*this, err, action);
            m_error = err;
            if (action == PostAction::Abort)
                cancel();
            return false;
        }
    }
    m_state = State::Browse;
    m_insertIndex = -1;
    emit rowChanged(m_cur);
    emit stateChanged();
    if (afterPost)
        afterPost(*this);
    return true;
}

void Dataset::cancel()
{
    if (m_state == State::Edit) {
        if (Row *r = currentRowPtr())
            *r = m_saved;
        m_state = State::Browse;
        emit rowChanged(m_cur);
        emit stateChanged();
    } else if (m_state == State::Insert) {
        const int removedVisible = m_visible.indexOf(m_insertIndex);
        forgetFetched();
        if (m_insertIndex >= 0 && m_insertIndex < m_rows.size())
            m_rows.remove(m_insertIndex);
        m_insertIndex = -1;
        m_state = State::Browse;
        const int keep = removedVisible - 1;
        applyFilter();
        if (removedVisible >= 0)
            emit rowRemoved(removedVisible);
        emit stateChanged();
        moveTo(keep < 0 ? 0 : keep);
    }
}

bool Dataset::remove()
{
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    if (m_state == State::Edit)
        cancel();
    Row *r = currentRowPtr();
    if (!r) {
        m_error = QStringLiteral("没有可删除的记录");
        return false;
    }
    if (!m_updateTable.isEmpty()) {
        QString err;
        if (!exec(db(), QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(m_updateTable), {r->rowid}, &err)) {
            m_error = err;
            return false;
        }
    }
    const int at = m_cur;
    forgetFetched();
    m_rows.remove(m_visible[at]);
    applyFilter();
    emit rowRemoved(at);
    moveTo(at);
    return true;
}

// --- master-detail ----------------------------------------------------------

void Dataset::setMaster(Dataset *master, const QStringList &masterFields)
{
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    m_master = master;
    m_masterFields = masterFields;
    if (!m_master)
        return;
    auto refresh = [this]() {
        QVariantList p;
        for (const QString &f : m_masterFields)
            p.append(m_master->value(f));
        m_params = p;
        if (isOpen())
            requery();
    };
    connect(m_master, &Dataset::currentChanged, this, refresh);
    connect(m_master, &Dataset::reset, this, refresh);
}

} // namespace db
