#pragma once
// An edit and an editable combo box bound to one field of a dataset: they
// show the current row's text and write what the user types back into the
// row (the dataset goes into edit; posting is the window's business).
#include "platform/db/dataset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <functional>

class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

    void setDataField(db::Dataset *ds, const QString &field);
    db::Dataset *dataset() const { return m_ds; }
    QString dataField() const { return m_field; }

    // Shows the current row's value again (done on every dataset change).
    void refresh();

    // Focus arriving from / leaving for another control of the window
    // (Delphi OnEnter / OnExit); not called when the window itself loses the
    // focus or a pop-up opens.
    std::function<void()> onEnter;
    std::function<void()> onExit;

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void write(const QString &text);

    QPointer<db::Dataset> m_ds;
    QString m_field;
    bool m_writing = false;
};

class DBComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);

    void setDataField(db::Dataset *ds, const QString &field);
    db::Dataset *dataset() const { return m_ds; }
    QString dataField() const { return m_field; }

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

    QPointer<db::Dataset> m_ds;
    QString m_field;
    bool m_writing = false;
};
