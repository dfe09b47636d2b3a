#include "platform/widgets/dbnavigator.h"

#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dialogs.h"

#include <QHBoxLayout>
#include <QToolButton>

DBNavigator::DBNavigator(QWidget *parent)
    : QWidget(parent)
    , m_visible(Buttons(AllButtons))
{
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    addButton(First, QStringLiteral("|◀"), QStringLiteral("第一条"));
    addButton(Prior, QStringLiteral("◀"), QStringLiteral("上一条"));
    addButton(Next, QStringLiteral("▶"), QStringLiteral("下一条"));
    addButton(Last, QStringLiteral("▶|"), QStringLiteral("最后一条"));
    addButton(Insert, QStringLiteral("+"), QStringLiteral("插入"));
    addButton(Delete, QStringLiteral("−"), QStringLiteral("删除"));
    addButton(Edit, QStringLiteral("▲"), QStringLiteral("编辑"));
    addButton(Post, QStringLiteral("✓"), QStringLiteral("保存"));
    addButton(Cancel, QStringLiteral("✗"), QStringLiteral("取消"));
    addButton(Refresh, QStringLiteral("↻"), QStringLiteral("刷新"));
    lay->addStretch(1);
    setVisibleButtons(m_visible);
    // A cell editor open in a grid of the dataset is an edit of its row.
    connect(GridEditors::instance(), &GridEditors::changed, this, [this](db::Dataset *ds) {
        if (ds == m_ds)
            updateButtons();
    });
    updateButtons();
}

void DBNavigator::addButton(Button b, const QString &glyph, const QString &hint)
{
    auto *t = new QToolButton(this);
    t->setText(glyph);
    t->setToolTip(hint);
    t->setAutoRaise(false);
    t->setMinimumWidth(26);
    // Taking the focus on a click makes an open cell editor hand over its text
    // before the button acts.
    t->setFocusPolicy(Qt::ClickFocus);
    connect(t, &QToolButton::clicked, this, [this, b]() { click(b); });
    static_cast<QHBoxLayout *>(layout())->addWidget(t);
    m_buttons.append({b, t});
}

QToolButton *DBNavigator::button(Button b) const
{
    for (const auto &p : m_buttons)
        if (p.first == b)
            return p.second;
    return nullptr;
}

void DBNavigator::setVisibleButtons(Buttons b)
{
    m_visible = b;
    for (const auto &p : m_buttons)
        p.second->setVisible(b.testFlag(p.first));
}

void DBNavigator::setDataset(db::Dataset *ds)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    if (ds) {
        connect(ds, &db::Dataset::stateChanged, this, &DBNavigator::updateButtons);
        connect(ds, &db::Dataset::currentChanged, this, &DBNavigator::updateButtons);
        connect(ds, &db::Dataset::reset, this, &DBNavigator::updateButtons);
        connect(ds, &db::Dataset::rowInserted, this, &DBNavigator::updateButtons);
        connect(ds, &db::Dataset::rowRemoved, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::updateButtons()
{
    db::Dataset *ds = m_ds;
    const bool active = ds && ds->isOpen() && isEnabled();
    const bool editing = active && (ds->state() == db::Dataset::State::Edit
                                    || ds->state() == db::Dataset::State::Insert || DBGrid::hasOpenEditor(ds));
    const bool canModify = active && !ds->updateTable().isEmpty();
    const int count = active ? ds->recordCount() : 0;
    const int rec = active ? ds->recNo() : 0;
    const bool up = active && count > 0 && rec > 1;
    const bool down = active && count > 0 && rec < count;
    auto set = [this](Button b, bool on) {
        if (QToolButton *t = button(b))
            t->setEnabled(on);
    };
    set(First, up);
    set(Prior, up);
    set(Next, down);
    set(Last, down);
    set(Insert, canModify);
    set(Delete, canModify && count > 0);
    set(Edit, canModify && !editing && count > 0);
    set(Post, canModify && editing);
    set(Cancel, canModify && editing);
    set(Refresh, active);
}

void DBNavigator::click(Button b)
{
    db::Dataset *ds = m_ds;
    if (!ds || !ds->isOpen())
        return;
    // What is being typed in a cell belongs to the row: it is written before
    // the row is posted or left, and dropped with it on Cancel or Delete.
    if (b == Cancel || b == Delete)
        DBGrid::discardEdits(ds);
    else if (!DBGrid::commitEdits(ds))
        return;
    QWidget *owner = window();
    // Moving off an edited row writes it first; a refused row stops the move.
    auto leaveRow = [&]() { return dbui::postOrReport(ds, owner); };
    switch (b) {
    case First:
        if (leaveRow())
            ds->first();
        break;
    case Prior:
        if (leaveRow())
            ds->prior();
        break;
    case Next:
        if (leaveRow())
            ds->next();
        break;
    case Last:
        if (leaveRow())
            ds->last();
        break;
    case Insert:
        if (leaveRow() && !ds->append())
            dlg::error(ds->lastError(), owner);
        break;
    case Delete:
        if (ds->isEmpty())
            break;
        if (m_confirmDelete && !dlg::okCancel(QStringLiteral("删除记录吗？"), owner))
            break;
        if (!ds->remove())
            dlg::error(ds->lastError(), owner);
        break;
    case Edit:
        if (!ds->edit())
            dlg::error(ds->lastError(), owner);
        break;
    case Post:
        dbui::postOrReport(ds, owner);
        break;
    case Cancel:
        ds->cancel();
        break;
    case Refresh: {
        if (!leaveRow())
            break;
        const int rec = ds->recNo();
        if (!ds->requery()) {
            dlg::error(ds->lastError(), owner);
            break;
        }
        if (rec > 0)
            ds->setRecNo(qMin(rec, ds->recordCount()));
        break;
    }
    }
    updateButtons();
    if (onClick)
        onClick(b);
}
