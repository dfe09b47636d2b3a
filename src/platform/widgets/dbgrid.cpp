#include "platform/widgets/dbgrid.h"

#include "platform/widgets/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaProperty>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTabWidget>

namespace dbui {

bool postOrReport(db::Dataset *ds, QWidget *parent)
{
    if (!ds)
        return true;
    const auto st = ds->state();
    if (st != db::Dataset::State::Edit && st != db::Dataset::State::Insert)
        return true;
    if (ds->post())
        return true;
    // A post-error handler that chose to abort has cancelled the row: the
    // dataset is browsing again and nothing is to be said. A before-post
    // handler that refused is silent as well (the dataset marks that case).
    const auto after = ds->state();
    const bool aborted = after != db::Dataset::State::Edit && after != db::Dataset::State::Insert;
    const bool stoppedBeforePost = ds->lastError() == QStringLiteral("已取消");
    if (!aborted && !stoppedBeforePost)
        dlg::error(ds->lastError(), parent);
    return false;
}

db::FieldDef column(const char *field, const char *title, int width)
{
    db::FieldDef d;
    d.name = QLatin1String(field);
    d.label = QString::fromUtf8(title);
    d.width = width;
    return d;
}

} // namespace dbui

namespace {
QList<DBGrid *> &allGrids()
{
    static QList<DBGrid *> grids;
    return grids;
}

bool isEditing(const db::Dataset *ds)
{
    return ds && (ds->state() == db::Dataset::State::Edit || ds->state() == db::Dataset::State::Insert);
}

bool isInside(const QWidget *w, const QWidget *ancestor)
{
    for (; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}
} // namespace

GridEditors *GridEditors::instance()
{
    static GridEditors notifier;
    return &notifier;
}

// Draws cells through the grid's colour rules and tells the grid which
// editor is open.
class DBGrid::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(DBGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *w = QStyledItemDelegate::createEditor(parent, option, index);
        m_grid->m_editor = w;
        if (w)
            connect(w, &QObject::destroyed, m_grid, [grid = m_grid]() { grid->editorsChanged(); });
        m_grid->editorsChanged();
        return w;
    }

    // The cell's text goes through the field's check; a refusal is kept for
    // the grid to tell.
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        const QByteArray prop = editor->metaObject()->userProperty().name();
        const QVariant typed = prop.isEmpty() ? QVariant() : editor->property(prop.constData());
        if (!model->setData(index, typed, Qt::EditRole) && m_grid->m_ds)
            m_grid->m_refusal = m_grid->m_ds->lastError();
    }

    // Enter in an editor is left to the grid, which writes the cell and then
    // the row, in that order (the default would write the cell only after
    // the grid had posted the row without it).
    //
    // Focus leaving the editor is left to the grid as well: the default
    // would close the editor even when its text was refused, losing it.
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return false;
        }
        if (event->type() == QEvent::FocusOut) {
            if (auto *editor = qobject_cast<QWidget *>(object))
                m_grid->focusLeftEditor(editor);
            return false;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!m_grid->cellStyle || !m_grid->m_model) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        const bool selected = opt.state & QStyle::State_Selected;
        const CellStyle s = m_grid->cellStyle(index.row(), m_grid->m_model->fieldAt(index.column()), selected);
        if (s.font)
            opt.font = *s.font;
        if (s.foreground.isValid()) {
            opt.palette.setColor(QPalette::Text, s.foreground);
            opt.palette.setColor(QPalette::HighlightedText, s.foreground);
        }
        if (s.background.isValid()) {
            p->fillRect(opt.rect, s.background);
            opt.state &= ~QStyle::State_Selected;
        }
        QStyledItemDelegate::paint(p, opt, index);
    }

private:
    DBGrid *m_grid;
};

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent)
{
    m_delegate = new Delegate(this);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    allGrids().append(this);
}

DBGrid::~DBGrid()
{
    allGrids().removeAll(this);
    if (m_editor)
        disconnect(m_editor, nullptr, this, nullptr);
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
}

void DBGrid::setDataset(db::Dataset *ds)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    dropEditor();
    db::DatasetModel *oldModel = m_model;
    QItemSelectionModel *oldSelection = selectionModel();
    m_ds = ds;
    m_model = nullptr;
    m_widthsFor.clear();
    if (ds) {
        m_model = new db::DatasetModel(ds, this);
        m_model->setReadOnly(m_readOnly);
        if (!m_cols.isEmpty())
            m_model->setColumns(m_cols);
        setModel(m_model);
        connect(ds, &db::Dataset::currentChanged, this, [this]() { followDataset(); });
        connect(m_model, &QAbstractItemModel::modelReset, this, [this]() {
            columnsMaybeChanged();
            followDataset();
        });
        connect(ds, &QObject::destroyed, this, [this]() {
            m_ds = nullptr;
            setDataset(nullptr);
        });
        columnsMaybeChanged();
        followDataset();
    } else {
        setModel(nullptr);
    }
    delete oldSelection;
    delete oldModel;
}

void DBGrid::setColumns(const QVector<db::FieldDef> &cols)
{
    m_cols = cols;
    if (m_model) {
        m_model->setColumns(cols);
        m_widthsFor.clear();
        columnsMaybeChanged();
    }
}

void DBGrid::columnsMaybeChanged()
{
    if (!m_model)
        return;
    QStringList fields;
    for (const db::FieldDef &d : m_model->columns())
        fields << d.name.toLower();
    if (fields == m_widthsFor)
        return;
    applyColumnWidths();
}

void DBGrid::applyColumnWidths()
{
    if (!m_model)
        return;
    const QFontMetrics fm(font());
    const QFontMetrics hfm(horizontalHeader()->font());
    const QVector<db::FieldDef> cols = m_model->columns();
    m_widthsFor.clear();
    for (int i = 0; i < cols.size(); ++i) {
        const db::FieldDef &d = cols[i];
        m_widthsFor << d.name.toLower();
        const QString title = d.label.isEmpty() ? d.name : d.label;
        const int titleWidth = hfm.horizontalAdvance(title) + 12;
        int w = d.width > 0 ? d.width * fm.averageCharWidth() + 4 : qMax(64, titleWidth);
        setColumnWidth(i, qMax(w, titleWidth));
    }
}

void DBGrid::setReadOnly(bool on)
{
    m_readOnly = on;
    if (on)
        dropEditor();
    if (m_model)
        m_model->setReadOnly(on);
}

void DBGrid::setColumnReadOnly(const QString &field, bool on)
{
    if (on)
        m_readOnlyFields.insert(field.toLower());
    else
        m_readOnlyFields.remove(field.toLower());
}

bool DBGrid::isColumnReadOnly(const QString &field) const
{
    if (m_readOnlyFields.contains(field.toLower()))
        return true;
    if (m_model)
        for (const db::FieldDef &d : m_model->columns())
            if (d.name.compare(field, Qt::CaseInsensitive) == 0)
                return d.readOnly;
    return false;
}

void DBGrid::setRowSelect(bool on)
{
    m_rowSelect = on;
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    selectDatasetRow();
}

QString DBGrid::selectedField() const
{
    if (!m_model || !currentIndex().isValid())
        return QString();
    return m_model->fieldAt(currentIndex().column());
}

bool DBGrid::setSelectedField(const QString &field)
{
    if (!m_model)
        return false;
    const QVector<db::FieldDef> cols = m_model->columns();
    for (int i = 0; i < cols.size(); ++i) {
        if (cols[i].name.compare(field, Qt::CaseInsensitive) == 0) {
            const int row = m_ds ? m_ds->currentRow() : -1;
            if (row < 0)
                return false;
            m_syncing = true;
            selectionModel()->setCurrentIndex(m_model->index(row, i), QItemSelectionModel::ClearAndSelect
                                                  | (m_rowSelect ? QItemSelectionModel::Rows
                                                                 : QItemSelectionModel::NoUpdate));
            m_syncing = false;
            return true;
        }
    }
    return false;
}

void DBGrid::setPopupMenu(QMenu *menu)
{
    if (m_menu)
        for (QAction *a : m_menu->actions())
            removeAction(a);
    m_menu = menu;
    if (!menu)
        return;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator() || a->menu())
            continue;
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
}

void DBGrid::contextMenuEvent(QContextMenuEvent *e)
{
    if (m_menu) {
        m_menu->popup(e->globalPos());
        e->accept();
        return;
    }
    QTableView::contextMenuEvent(e);
}

bool DBGrid::commitEdit()
{
    if (!m_editor)
        return true;
    QWidget *ed = m_editor;
    m_refusal.clear();
    commitData(ed);
    if (!m_refusal.isEmpty()) {
        reportRefusal();
        backToEditor();
        return false;
    }
    dropEditor();
    return true;
}

void DBGrid::backToEditor()
{
    QWidget *ed = m_editor;
    if (!ed || !ed->isVisible())
        return;
    ed->setFocus();
    if (auto *line = qobject_cast<QLineEdit *>(ed))
        line->selectAll();
}

bool DBGrid::commitEdits(db::Dataset *ds)
{
    bool all = true;
    const QList<DBGrid *> grids = allGrids();
    for (DBGrid *g : grids)
        if (g->m_ds == ds && !g->commitEdit())
            all = false;
    return all;
}

void DBGrid::discardEdits(db::Dataset *ds)
{
    const QList<DBGrid *> grids = allGrids();
    for (DBGrid *g : grids)
        if (g->m_ds == ds)
            g->dropEditor();
}

bool DBGrid::hasOpenEditor(const db::Dataset *ds)
{
    for (const DBGrid *g : allGrids())
        if (g->m_ds == ds && g->m_editor
            && !(g->m_editor->isHidden() && g->m_editor->testAttribute(Qt::WA_WState_ExplicitShowHide)))
            return true;
    return false;
}

void DBGrid::dropEditor()
{
    QWidget *ed = m_editor;
    m_editor = nullptr;
    if (!ed)
        return;
    QTableView::closeEditor(ed, QAbstractItemDelegate::NoHint);
    editorsChanged();
}

void DBGrid::editorsChanged()
{
    if (m_ds)
        emit GridEditors::instance()->changed(m_ds);
}

bool DBGrid::settle()
{
    if (!commitEdit())
        return false;
    postPending();
    return !isEditing(m_ds);
}

void DBGrid::guardControls(const QList<QWidget *> &controls)
{
    for (QWidget *w : controls) {
        m_guarded.append(w);
        w->installEventFilter(this);
    }
}

// The focus went from the open editor to another control: once that control
// has taken it (and whatever it was given for has been done) the cell is
// written. Focus going to another window (a message box, a dialog, another
// program) leaves the text in the editor.
void DBGrid::focusLeftEditor(QWidget *editor)
{
    QPointer<QWidget> ed = editor;
    QMetaObject::invokeMethod(this, [this, ed]() {
        // While a refusal is being told, the teller puts the focus back.
        if (!ed || ed != m_editor || !isVisible() || m_telling)
            return;
        const QWidget *now = QApplication::focusWidget();
        if (!now || now->window() != window() || isInside(now, ed))
            return;
        commitEdit();
    }, Qt::QueuedConnection);
}

void DBGrid::reportRefusal()
{
    if (m_refusal.isEmpty())
        return;
    const QString why = m_refusal;
    m_refusal.clear();
    // An attempt made while the message is up (the box taking the focus
    // finishes an edit elsewhere) is the same attempt: told once.
    if (m_telling)
        return;
    m_telling = true;
    dlg::error(why, this);
    m_telling = false;
}

bool DBGrid::postPending()
{
    return dbui::postOrReport(m_ds, this);
}

// The dataset moved (or was re-read): the grid shows its current row.
void DBGrid::followDataset()
{
    if (!m_model || !m_ds || m_syncing)
        return;
    // An editor still open belongs to the row the dataset has left; its text
    // must not be written into whatever row the dataset stands on now.
    dropEditor();
    selectDatasetRow();
}

void DBGrid::selectDatasetRow()
{
    if (!m_model || !m_ds || !selectionModel())
        return;
    const int row = m_ds->currentRow();
    m_syncing = true;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    } else {
        // A re-read resets the model; the grid stays in the column it was in.
        int col = currentIndex().isValid() ? currentIndex().column() : m_lastColumn;
        if (col >= m_model->columnCount())
            col = 0;
        const QModelIndex idx = m_model->index(row, col);
        if (idx.isValid()) {
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect
                                                       | (m_rowSelect ? QItemSelectionModel::Rows
                                                                      : QItemSelectionModel::NoUpdate));
            scrollTo(idx);
        }
    }
    m_syncing = false;
}

// The user moved to another cell: a new row is the dataset's new current row
// (its pending edit is posted first; a refused row keeps the grid where the
// dataset stays).
void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (current.isValid())
        m_lastColumn = current.column();
    m_inRowChange = !m_syncing;
    m_keptEditor = false;
    QTableView::currentChanged(current, previous);
    m_inRowChange = false;
    if (m_keptEditor) {
        // The cell whose text was refused keeps its editor, and the cursor
        // stays with it.
        m_keptEditor = false;
        m_syncing = true;
        selectionModel()->setCurrentIndex(previous, QItemSelectionModel::NoUpdate);
        m_syncing = false;
        m_lastColumn = previous.column();
        keepSelection();
        return;
    }
    if (m_syncing || !m_ds || !current.isValid() || current.row() == m_ds->currentRow())
        return;
    bool moved = false;
    if (postPending() && current.row() < m_ds->recordCount())
        moved = m_ds->setRecNo(current.row() + 1);
    if (!moved || m_ds->currentRow() != current.row())
        keepSelection();
}

void DBGrid::keepSelection()
{
    selectDatasetRow();
    // A mouse press goes on to select the cell it hit after this returns;
    // put the selection back once it has done so.
    if (!m_resyncQueued) {
        m_resyncQueued = true;
        QMetaObject::invokeMethod(this, [this]() {
            m_resyncQueued = false;
            selectDatasetRow();
        }, Qt::QueuedConnection);
    }
}

bool DBGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (m_readOnly || !m_model)
        return false;
    if (index.isValid() && m_readOnlyFields.contains(m_model->fieldAt(index.column()).toLower()))
        return false;
    if (!QTableView::edit(index, trigger, event))
        return false;
    editorsChanged();
    return true;
}

void DBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool open = editor == m_editor;
    // A text the field refused stays in its cell however the cell is left
    // (Tab, a click elsewhere, a key that moves the cursor): told once, the
    // focus back in it, as after Enter.
    if (open && !m_refusal.isEmpty() && hint != QAbstractItemDelegate::RevertModelCache) {
        reportRefusal();
        backToEditor();
        m_keptEditor = true;
        return;
    }
    if (open)
        m_editor = nullptr;
    QTableView::closeEditor(editor, hint);
    if (open)
        editorsChanged();
    if (m_inRowChange)
        return; // the row change posts once, itself
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        postPending();
    else if (hint == QAbstractItemDelegate::RevertModelCache && m_ds)
        m_ds->cancel();
}

bool DBGrid::event(QEvent *e)
{
    // The window that closes with this grid's edit pending is watched for its close.
    if (e->type() == QEvent::Show && m_closeWatched != window()) {
        if (m_closeWatched)
            m_closeWatched->removeEventFilter(this);
        m_closeWatched = window();
        m_closeWatched->installEventFilter(this);
    }
    // Tab never reaches keyPressEvent (the focus chain takes it first), but
    // the key handler must see it.
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && onKeyDown && onKeyDown(k)) {
            k->accept();
            return true;
        }
    }
    return QTableView::event(e);
}

void DBGrid::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Enter typed in a cell editor: the cell is written before anything
    // else sees the key; a refused text keeps the editor open.
    if (enter && m_editor && !commitEdit()) {
        e->accept();
        return;
    }
    if (onKeyDown && onKeyDown(e)) {
        e->accept();
        return;
    }
    const bool charKey = !e->text().isEmpty() || enter || key == Qt::Key_Escape;
    if (charKey && onKeyPress && onKeyPress(e)) {
        e->accept();
        return;
    }
    if (key == Qt::Key_Escape && isEditing(m_ds)) {
        m_ds->cancel();
        e->accept();
        return;
    }
    if (enter && isEditing(m_ds)) {
        postPending();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool DBGrid::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_closeWatched && e->type() == QEvent::Close) {
        if (!m_editor && !isEditing(m_ds))
            return false;
        if (settle())
            return false;
        if (dlg::okCancel(QStringLiteral("有修改未能保存，放弃这些修改并关闭窗口吗？"), this)) {
            dropEditor();
            if (m_ds)
                m_ds->cancel();
            return false;
        }
        e->ignore();
        return true;
    }
    bool guarded = false;
    for (const QPointer<QWidget> &w : std::as_const(m_guarded))
        guarded = guarded || w == watched;
    if (guarded && (m_editor || isEditing(m_ds))) {
        bool changes = false;
        switch (e->type()) {
        case QEvent::Wheel:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            changes = true;
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(e)->key();
            changes = key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Shift && key != Qt::Key_Control
                && key != Qt::Key_Alt && key != Qt::Key_Meta;
            break;
        }
        default:
            break;
        }
        if (changes && !settle()) {
            e->accept();
            return true;
        }
    }
    return QTableView::eventFilter(watched, e);
}

// The page holding the grid was left (the window itself still shows): what
// was typed into an open cell is written and its row posted. What is refused
// brings the page back, the focus in the cell or row to correct or drop.
void DBGrid::hideEvent(QHideEvent *e)
{
    QTableView::hideEvent(e);
    if (e->spontaneous() || !m_editor || !window()->isVisible() || settle())
        return;
    QMetaObject::invokeMethod(this, [this]() {
        if (!m_editor && !isEditing(m_ds))
            return;
        for (QWidget *page = this; page->parentWidget(); page = page->parentWidget()) {
            QWidget *stack = page->parentWidget();
            if (auto *tabs = stack->parentWidget() ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
                tabs && tabs->indexOf(page) >= 0)
                tabs->setCurrentWidget(page);
        }
        if (m_editor)
            backToEditor();
        else if (isVisible())
            setFocus();
    }, Qt::QueuedConnection);
}
