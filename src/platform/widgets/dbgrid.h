#pragma once
// A grid bound to a db::Dataset: the selected row is the dataset's current row (both ways), cell edits go into
// the dataset, leaving the row or pressing Enter posts it, Esc cancels it. An
// open cell editor is part of the row's edit: leaving the page or closing the
// window writes it and posts the row. A cell text that its field refuses
// stays in the open editor, however the cell is left.
// Colour rules, key handlers and the pop-up menu are hooks that the windows
// set.
#include "platform/db/dataset.h"
#include "platform/db/datasetmodel.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QSet>
#include <QTableView>
#include <functional>
#include <optional>

#include <QMenu>
class QKeyEvent;

// How one cell is drawn; unset members keep the grid's own look. A
// background replaces the selection colour of a selected cell; a foreground
// alone keeps the selection colour and changes only the text.
struct CellStyle
{
    QColor foreground;
    QColor background;
    std::optional<QFont> font;
};

class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;
    using QTableView::edit;

    // Binds the grid to a dataset through a model of its own (nullptr unbinds).
    void setDataset(db::Dataset *ds);
    db::Dataset *dataset() const { return m_ds; }
    db::DatasetModel *datasetModel() const { return m_model; }

    // Columns shown, in order, with their titles (label) and widths in
    // characters; by default the dataset's visible field definitions.
    void setColumns(const QVector<db::FieldDef> &cols);
    // Sets every column's width from its field definition again.
    void applyColumnWidths();

    void setReadOnly(bool on);
    bool isReadOnly() const { return m_readOnly; }
    void setColumnReadOnly(const QString &field, bool on);
    bool isColumnReadOnly(const QString &field) const;

    // Whole-row selection (the current row is shown selected across).
    void setRowSelect(bool on);
    bool rowSelect() const { return m_rowSelect; }

    // Field of the column that holds the current cell ("" when none).
    QString selectedField() const;
    // Moves the current cell to the column of this field (same row).
    bool setSelectedField(const QString &field);

    // The grid's pop-up menu. Its actions' short-cuts work while the grid (or
    // an editor in it) has the focus, as a pop-up menu's short-cuts did.
    void setPopupMenu(QMenu *menu);
    QMenu *popupMenu() const { return m_menu; }

    // Writes the text of an open cell editor into the dataset and closes it.
    // A text that the field refuses is reported and stays in the open
    // editor: false then, and nothing of the cell is written.
    bool commitEdit();
    // Does that for every grid bound to this dataset (a navigator's post).
    static bool commitEdits(db::Dataset *ds);
    // Closes the open editors of the grids bound to this dataset unwritten.
    static void discardEdits(db::Dataset *ds);
    // True while a grid bound to this dataset has a cell editor open.
    static bool hasOpenEditor(const db::Dataset *ds);

    // Writes the open cell and posts the row: true when nothing of this
    // grid is left pending (a refusal has been shown).
    bool settle();
    // Input that would change one of these controls (the wheel, a mouse
    // press, a key) first settles this grid; while a cell or row is refused
    // the input is dropped, so a choice never moves away from a pending edit.
    void guardControls(const QList<QWidget *> &controls);

    // Colour rules, asked for every cell drawn: row (0-based), field, and
    // whether the cell is selected.
    std::function<CellStyle(int row, const QString &field, bool selected)> cellStyle;
    // Every key, before the grid sees it; true = handled, the grid does nothing more.
    std::function<bool(QKeyEvent *)> onKeyDown;
    // Keys that produce a character, Enter and Esc included, after onKeyDown
    // let them through; true = handled.
    std::function<bool(QKeyEvent *)> onKeyPress;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    class Delegate;
    friend class Delegate;

    void followDataset();
    void selectDatasetRow();
    void columnsMaybeChanged();
    bool postPending();
    void reportRefusal();
    void backToEditor();
    void keepSelection();
    void dropEditor();
    void editorsChanged();
    void focusLeftEditor(QWidget *editor);

    db::Dataset *m_ds = nullptr;
    db::DatasetModel *m_model = nullptr;
    Delegate *m_delegate = nullptr;
    QPointer<QMenu> m_menu;
    QPointer<QWidget> m_editor;
    QSet<QString> m_readOnlyFields; // lower-case field names
    QStringList m_widthsFor;        // fields whose widths were last applied
    QVector<db::FieldDef> m_cols;   // columns chosen with setColumns()
    bool m_readOnly = false;
    bool m_rowSelect = false;
    int m_lastColumn = 0;
    bool m_syncing = false;
    bool m_resyncQueued = false;
    bool m_inRowChange = false;
    bool m_keptEditor = false; // a refused text kept its editor open
    QString m_refusal; // why the last cell text was not taken, until shown
    bool m_telling = false; // a refusal's message is up
    QList<QPointer<QWidget>> m_guarded;
    QPointer<QWidget> m_closeWatched;
};

// Tells the navigators that a cell editor of a dataset's grid opened or closed.
class GridEditors : public QObject
{
    Q_OBJECT
public:
    static GridEditors *instance();
signals:
    void changed(db::Dataset *ds);
};

namespace dbui {
// Posts the dataset's pending edit or insert. When the database refuses the
// row, its text is shown as an error unless the dataset's post-error handler
// turned the failure into a silent abort (the row is then already cancelled)
// or its before-post handler stopped the post. True when nothing is pending
// any more.
bool postOrReport(db::Dataset *ds, QWidget *parent = nullptr);

// A column for DBGrid::setColumns: field, title and width in characters.
db::FieldDef column(const char *field, const char *title, int width);
} // namespace dbui
