#pragma once
// An edit and an editable combo box bound to one field of a dataset: they
// show the current row's text and write what the user types back into the
// row (the dataset goes into edit; posting is the window's business).
#include "platform/db/dataset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <functional>

namespace dbedits_detail {
// What both controls keep of their field. `writing` is up while a control
// itself changes the row or its own text, so that neither comes back to it
// as an edit or a refresh.
struct FieldLink
{
    QPointer<db::Dataset> ds;
    QString field;
    bool writing = false;

    // The current row's text of the field ("" when unbound).
    QString text() const;
    // Writes typed text into the current row; with no row to write into the
    // text just stays in the control.
    void write(const QString &text);
};
} // namespace dbedits_detail

class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

    void setDataField(db::Dataset *ds, const QString &field);
    db::Dataset *dataset() const { return m_link.ds; }
    QString dataField() const { return m_link.field; }

    // Shows the current row's value again (done on every dataset change).
    void refresh();

    // Focus arriving from / leaving for another control of the window
    // (entering and leaving the edit); not called when the window itself loses the
    // focus or a pop-up opens.
    std::function<void()> onEnter;
    std::function<void()> onExit;

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void write(const QString &text);

    dbedits_detail::FieldLink m_link;
};

class DBComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);

    void setDataField(db::Dataset *ds, const QString &field);
    db::Dataset *dataset() const { return m_link.ds; }
    QString dataField() const { return m_link.field; }

    // The list offered; the field may hold any text.
    void setItems(const QStringList &items);

    void refresh();

    std::function<void()> onEnter;
    std::function<void()> onExit;

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void write(const QString &text);

    dbedits_detail::FieldLink m_link;
};
