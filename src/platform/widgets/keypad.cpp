#include "platform/widgets/keypad.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QKeySequence>
#include <QPointer>

namespace {

// Adds the Enter twin of every Return short-cut of an action.
void addEnterTwins(QAction *a)
{
    QList<QKeySequence> keys = a->shortcuts();
    bool added = false;
    for (const QKeySequence &k : a->shortcuts()) {
        if (k.count() != 1 || k[0].key() != Qt::Key_Return)
            continue;
        const QKeySequence twin(QKeyCombination(k[0].keyboardModifiers(), Qt::Key_Enter));
        if (!keys.contains(twin)) {
            keys.append(twin);
            added = true;
        }
    }
    if (added)
        a->setShortcuts(keys);
}

class KeypadEnter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::ActionAdded || e->type() == QEvent::ActionChanged)
            if (QAction *a = static_cast<QActionEvent *>(e)->action())
                addEnterTwins(a);
        return QObject::eventFilter(watched, e);
    }
};

} // namespace

void installKeypadEnter()
{
    static QPointer<KeypadEnter> filter;
    if (filter || !qApp)
        return;
    filter = new KeypadEnter(qApp);
    qApp->installEventFilter(filter);
}
