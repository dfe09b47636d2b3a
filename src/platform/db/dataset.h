#pragma once
// A dataset as the windows use it: SQL with positional parameters, its rows
// held in memory (a static cursor, so record counts and record numbers are
// exact), a current row, editing that writes one row at a time, and the
// events the windows hook (after scroll, new record, before/after post, post
// error). Rows are written back only when an update table is named.
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace db {

struct FieldDef
{
    using Check = std::function<bool(const QString &caption, QVariant &value, QString *why)>;

    QString name;         // column name (matched without regard to case)
    QString label;        // display label (grid title); empty = the name
    int width = 0;        // display width in characters; 0 = automatic
    bool readOnly = false;
    bool visible = true;
    // What the column takes: given the caption the user sees and a value
    // about to be set, turns it into the value to store (a number typed as
    // text becomes a number) or refuses it with a message. Unset: anything.
    Check check;
};

class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class PostAction { Fail, Abort };
    using Bookmark = quint64;

    explicit Dataset(QObject *parent = nullptr);
    ~Dataset() override;

    // Connection (default: the program's connection).
    void setDatabase(const QSqlDatabase &db) { m_db = db; m_useDefaultDb = false; }

    // SQL with '?' or ':name' placeholders, filled by position.
    void setSql(const QString &sql) { m_sql = sql; }
    QString sql() const { return m_sql; }
    void setParams(const QVariantList &params) { m_params = params; }
    void setParam(int index, const QVariant &value);
    QVariantList params() const { return m_params; }

    // The table that post and remove write to; empty = read-only dataset.
    // Its rows are found again by SQLite's rowid, so the query must read
    // that table alone.
    void setUpdateTable(const QString &table) { m_updateTable = table; }
    QString updateTable() const { return m_updateTable; }

    // Persistent fields: what grids show (in this order) and may edit. When
    // none are set every column is a field.
    void setFieldDefs(const QVector<FieldDef> &defs) { m_defs = defs; }
    QVector<FieldDef> fieldDefs() const; // the set ones, or one per column
    // Columns hidden from fieldDefs() (the grid never shows them) but still
    // readable with value().

    void setMaxRows(int n) { m_maxRows = n; }

    // Opening and closing. open() and requery() leave the cursor on the first
    // row and return false with lastError() on a database failure.
    bool open();
    bool open(const QString &sql, const QVariantList &params = {});
    void close();
    bool requery();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    QString lastError() const { return m_error; }

    // Cursor.
    int recordCount() const { return m_visible.size(); }
    bool isEmpty() const { return m_visible.isEmpty(); }
    int recNo() const { return m_visible.isEmpty() ? 0 : m_cur + 1; } // 1..count, 0 when empty
    bool setRecNo(int n);
    int currentRow() const { return m_visible.isEmpty() ? -1 : m_cur; } // 0-based
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // Moves to the first row whose field equals the value (text compared
    // exactly, or without regard to case). False, and no move, when none.
    bool locate(const QString &field, const QVariant &value, bool caseInsensitive = false);

    // Filter "field=value" (several joined by " and "); numbers compare as
    // numbers, texts exactly. Applies while filtered is on.
    void setFilter(const QString &filter);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Fields of the current row.
    QStringList columnNames() const { return m_columns; }
    int columnIndex(const QString &name) const; // -1 when unknown
    bool hasField(const QString &name) const { return columnIndex(name) >= 0; }
    QVariant value(const QString &field) const;  // invalid QVariant for NULL
    QString text(const QString &field) const;    // "" for NULL
    bool isNull(const QString &field) const;
    double asFloat(const QString &field) const;  // 0 for NULL
    int asInteger(const QString &field) const;
    // Sets a field of the current row; a browsing dataset goes into edit. A
    // value that the field's check refuses changes nothing: false, and the
    // reason in lastError().
    bool setValue(const QString &field, const QVariant &value);

    // Any row by 0-based index (for models).
    QVariant valueAt(int row, int column) const;
    QVariant valueAt(int row, const QString &field) const;

    // Editing. append() adds a new row at the end in insert state and runs
    // onNewRecord; post() writes the row (insert or update of the changed
    // columns) and runs beforePost, afterPost, or onPostError on failure.
    bool append();
    bool edit();
    bool post();
    void cancel();
    bool remove(); // deletes the current row from the table and the dataset

    // Master-detail: when the master's current row changes, the params are
    // set to the master's values of these fields, in order, and the dataset
    // re-runs its query.
    void setMaster(Dataset *master, const QStringList &masterFields);

    // Rows taken over from a query run elsewhere (a command's record set).
    void assign(const QStringList &columns, const QVector<QVariantList> &rows);

    // Opens on rows of one table known by their rowids, in the given order;
    // their columns are read from the table only when a row is looked at,
    // and only a bounded number of rows keep their values. For answers of
    // hundreds of thousands of rows: the count and record numbers are exact
    // while memory holds little more than the rowids. The rows are not
    // written back (no update table).
    bool openRows(const QString &table, const QStringList &columns, const QVector<qint64> &rowids);

    // One handler per event, set by the window that owns the dataset.
    std::function<void(Dataset &)> afterScroll;
    std::function<void(Dataset &)> onNewRecord;
    std::function<bool(Dataset &)> beforePost; // return false to abort the post
    std::function<void(Dataset &)> afterPost;
    // Runs when the database refuses the row; may reword the error (it
    // becomes lastError()) and may turn the failure into a silent abort,
    // which cancels the row.
    std::function<void(Dataset &, QString &error, PostAction &action)> onPostError;

signals:
    void reset();                 // rows re-read, opened or closed
    void currentChanged(int row); // 0-based row, -1 when empty
    void rowChanged(int row);     // values of a row changed (edit, post, cancel)
    void rowInserted(int row);
    void rowRemoved(int row);
    void stateChanged();

private:
    struct Row
    {
        QVariantList values;
        qint64 rowid = 0;
        Bookmark uid = 0;
    };

    QSqlDatabase db() const;
    bool load();
    void showFirstRow();
    void fetchRow(int rowIndex) const;
    void forgetFetched();
    void applyFilter(int keepRow = -1);
    bool rowMatchesFilter(const Row &r) const;
    void moveTo(int visibleIndex, bool fireScroll = true);
    void fireScrolled();
    Row *currentRowPtr();
    const Row *currentRowPtr() const;
    bool writeRow(Row &row, QString *error);
    QStringList tableColumns();

    QSqlDatabase m_db;
    bool m_useDefaultDb = true;
    QString m_sql;
    QVariantList m_params;
    QString m_updateTable;
    QVector<FieldDef> m_defs;
    int m_maxRows = 0;

    QStringList m_columns;
    QVector<Row> m_rows;     // all rows read
    QVector<int> m_visible;  // indexes into m_rows that pass the filter
    int m_cur = 0;           // index into m_visible
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Inactive;
    QString m_error;
    Bookmark m_nextUid = 1;
    Row m_saved;             // the row before edit, for cancel
    int m_insertIndex = -1;  // index into m_rows of the row being inserted

    QString m_filterText;
    bool m_filtered = false;
    QVector<QPair<QString, QVariant>> m_filterTerms;

    Dataset *m_master = nullptr;
    QStringList m_masterFields;
    QStringList m_tableColumns;

    // Rows read from their table on demand (openRows).
    QString m_rowsTable;
    QVector<int> m_fetched;  // indexes into m_rows holding values, oldest first
};

} // namespace db
