#pragma once
// A row of buttons that moves through a dataset and edits it: first, prior,
// next, last, insert, delete, edit, post, cancel and (optionally) refresh.
// Buttons are enabled by the dataset's state (a cell editor open in one of
// its grids counts as a row in edit); delete asks first.
#include "platform/db/dataset.h"

#include <QFlags>
#include <QPointer>
#include <QWidget>
#include <functional>

class QToolButton;

class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button {
        First = 0x001,
        Prior = 0x002,
        Next = 0x004,
        Last = 0x008,
        Insert = 0x010,
        Delete = 0x020,
        Edit = 0x040,
        Post = 0x080,
        Cancel = 0x100,
        Refresh = 0x200,
    };
    Q_DECLARE_FLAGS(Buttons, Button)
    // The nine buttons of a full navigator (refresh not among them).
    static constexpr int AllButtons = First | Prior | Next | Last | Insert | Delete | Edit | Post | Cancel;
    // Moving and editing without insert and delete.
    static constexpr int BrowseEditButtons = First | Prior | Next | Last | Edit | Post | Cancel;

    explicit DBNavigator(QWidget *parent = nullptr);

    void setDataset(db::Dataset *ds);
    db::Dataset *dataset() const { return m_ds; }

    void setVisibleButtons(Buttons b);
    void setVisibleButtons(int b) { setVisibleButtons(Buttons(QFlag(b))); }
    Buttons visibleButtons() const { return m_visible; }
    QToolButton *button(Button b) const;

    // Delete asks "删除记录吗？" first (on by default).
    void setConfirmDelete(bool on) { m_confirmDelete = on; }

    // Does what pressing the button does (also when the button is hidden or
    // disabled: callers decide).
    void click(Button b);

    // Called after each button's action has run.
    std::function<void(Button)> onClick;

    void updateButtons();

private:
    void addButton(Button b, const QString &glyph, const QString &hint);

    QPointer<db::Dataset> m_ds;
    Buttons m_visible;
    bool m_confirmDelete = true;
    QVector<QPair<Button, QToolButton *>> m_buttons;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DBNavigator::Buttons)
