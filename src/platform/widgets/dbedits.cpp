#include "platform/widgets/dbedits.h"

#include <QFocusEvent>

namespace {
// Focus that moves between the window's own controls; not the window being
// deactivated or a pop-up list opening.
bool isControlChange(const QFocusEvent *e)
{
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

// Empty text is stored as NULL, as the grids do.
QVariant fieldValue(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

template<class W>
void bind(W *w, db::Dataset *ds)
{
    QObject::connect(ds, &db::Dataset::reset, w, &W::refresh);
    QObject::connect(ds, &db::Dataset::currentChanged, w, &W::refresh);
    QObject::connect(ds, &db::Dataset::rowChanged, w, &W::refresh);
    QObject::connect(ds, &db::Dataset::rowRemoved, w, &W::refresh);
}
} // namespace

// --- DBEdit -------------------------------------------------------------------

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DBEdit::write);
}

void DBEdit::setDataField(db::Dataset *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds)
        bind(this, ds);
    refresh();
}

void DBEdit::refresh()
{
    if (m_writing)
        return;
    const QString t = m_ds ? m_ds->text(m_field) : QString();
    if (t != text())
        setText(t);
}

void DBEdit::write(const QString &text)
{
    if (!m_ds || m_field.isEmpty() || m_ds->currentRow() < 0)
        return; // nothing to write into: the text stays in the edit
    m_writing = true;
    m_ds->setValue(m_field, fieldValue(text));
    m_writing = false;
}

void DBEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    if (onEnter && isControlChange(e))
        onEnter();
}

void DBEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    if (onExit && isControlChange(e))
        onExit();
}

// --- DBComboBox ---------------------------------------------------------------

DBComboBox::DBComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DBComboBox::write);
    connect(this, &QComboBox::textActivated, this, &DBComboBox::write);
}

void DBComboBox::setDataField(db::Dataset *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds)
        bind(this, ds);
    refresh();
}

void DBComboBox::setItems(const QStringList &items)
{
    const QString keep = currentText();
    m_writing = true; // changing the list is no edit of the field
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(keep);
    m_writing = false;
}

void DBComboBox::refresh()
{
    if (m_writing)
        return;
    const QString t = m_ds ? m_ds->text(m_field) : QString();
    if (t != currentText()) {
        m_writing = true;
        const int i = findText(t, Qt::MatchExactly);
        setCurrentIndex(i);
        setEditText(t);
        m_writing = false;
    }
}

void DBComboBox::write(const QString &text)
{
    if (m_writing || !m_ds || m_field.isEmpty() || m_ds->currentRow() < 0)
        return;
    m_writing = true;
    m_ds->setValue(m_field, fieldValue(text));
    m_writing = false;
}

void DBComboBox::focusInEvent(QFocusEvent *e)
{
    QComboBox::focusInEvent(e);
    if (onEnter && isControlChange(e))
        onEnter();
}

void DBComboBox::focusOutEvent(QFocusEvent *e)
{
    QComboBox::focusOutEvent(e);
    if (onExit && isControlChange(e))
        onExit();
}
