#pragma once
// Routes key and focus events of one widget to a window's handlers, for
// widgets whose class has no hook of its own (line edits, spin and combo
// boxes). The hook belongs to the widget and goes with it.
#include <QObject>
#include <functional>

class QKeyEvent;

class EventHook : public QObject
{
public:
    // Creates the hook as a child of `target` and installs it there.
    static EventHook *on(QObject *target);

    std::function<bool(QKeyEvent *)> onKey; // key presses; true = swallowed
    std::function<void()> onFocusIn;
    std::function<void()> onFocusOut;
    std::function<void(QObject *)> onChildAdded;

protected:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *e) override;
};
