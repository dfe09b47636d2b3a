#include "platform/widgets/eventhook.h"

#include <QChildEvent>
#include <QKeyEvent>

EventHook *EventHook::on(QObject *target)
{
    auto *hook = new EventHook(target);
    target->installEventFilter(hook);
    return hook;
}

bool EventHook::eventFilter(QObject *watched, QEvent *e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
        if (onKey && onKey(static_cast<QKeyEvent *>(e)))
            return true;
        break;
    case QEvent::FocusIn:
        if (onFocusIn)
            onFocusIn();
        break;
    case QEvent::FocusOut:
        if (onFocusOut)
            onFocusOut();
        break;
    case QEvent::ChildAdded:
        if (onChildAdded)
            onChildAdded(static_cast<QChildEvent *>(e)->child());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, e);
}
