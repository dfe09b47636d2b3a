#include "platform/widgets/dbedits.h"

#include <QFocusEvent>

namespace dbedits_detail {

QString FieldLink::text() const
{
    return ds ? ds->text(field) : QString();
}

void FieldLink::write(const QString &text)
{
    if (writing || !ds || field.isEmpty() || ds->currentRow() < 0)
        return;
    writing = true;
    // Empty text is stored as NULL, as the grids do.
    ds->setValue(field, text.isEmpty() ? QVariant() : QVariant(text));
    writing = false;
}

} // namespace dbedits_detail

namespace {
using dbedits_detail::FieldLink;

// Moves the control's binding to another dataset and field and shows what
// is there.
template<class W>
void attach(W *w, FieldLink &link, db::Dataset *ds, const QString &field)
{
    if (link.ds)
        QObject::disconnect(link.ds, nullptr, w, nullptr);
    link.ds = ds;
    link.field = field;
    if (ds) {
        QObject::connect(ds, &db::Dataset::reset, w, &W::refresh);
        QObject::connect(ds, &db::Dataset::currentChanged, w, &W::refresh);
        QObject::connect(ds, &db::Dataset::rowChanged, w, &W::refresh);
        QObject::connect(ds, &db::Dataset::rowRemoved, w, &W::refresh);
    }
    w->refresh();
}

// Runs an OnEnter / OnExit hook for focus that moves between the window's
// own controls; not for the window being deactivated or a pop-up list
// opening.
void focusHook(const QFocusEvent *e, const std::function<void()> &hook)
{
    if (hook && e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        hook();
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
    attach(this, m_link, ds, field);
}

void DBEdit::refresh()
{
    if (m_link.writing)
        return;
    const QString t = m_link.text();
    if (t != text())
        setText(t);
}

void DBEdit::write(const QString &text)
{
    m_link.write(text);
}

void DBEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    focusHook(e, onEnter);
}

void DBEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    focusHook(e, onExit);
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
    attach(this, m_link, ds, field);
}

void DBComboBox::setItems(const QStringList &items)
{
    const QString keep = currentText();
    m_link.writing = true; // changing the list is no edit of the field
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(keep);
    m_link.writing = false;
}

void DBComboBox::refresh()
{
    if (m_link.writing)
        return;
    const QString t = m_link.text();
    if (t != currentText()) {
        m_link.writing = true;
        const int i = findText(t, Qt::MatchExactly);
        setCurrentIndex(i);
        setEditText(t);
        m_link.writing = false;
    }
}

void DBComboBox::write(const QString &text)
{
    m_link.write(text);
}

void DBComboBox::focusInEvent(QFocusEvent *e)
{
    QComboBox::focusInEvent(e);
    focusHook(e, onEnter);
}

void DBComboBox::focusOutEvent(QFocusEvent *e)
{
    QComboBox::focusOutEvent(e);
    focusHook(e, onExit);
}
