#pragma once
// The small "please wait" window shown while a long operation blocks the
// user-interface thread (backup, restore, end of day). It is not one of the
// start-up windows: each operation creates it, shows it, and frees it again.
#include <QWidget>

class QFrame;
class QLabel;

class Tfrmmessage : public QWidget
{
    Q_OBJECT
public:
    explicit Tfrmmessage(QWidget *parent = nullptr);
    ~Tfrmmessage() override;

    // Sets the text and paints it at once: nothing else gets to paint while
    // the operation runs.
    void setText(const QString &text);

    QFrame *Bevel1 = nullptr;
    QLabel *Label1 = nullptr;
};

// The message window while it exists, null otherwise.
extern Tfrmmessage *frmmessage;

// Creates the message window (owned by the application, stored in
// frmmessage), shows it without waiting and paints the text.
Tfrmmessage *showMessageWindow(const QString &text);
// Closes and frees the message window; nothing when there is none.
void freeMessageWindow();

// Shows the message window for the life of the scope, so that every way out
// of an operation, failures included, takes the window away.
class MessageWindowScope
{
public:
    explicit MessageWindowScope(const QString &text) { showMessageWindow(text); }
    ~MessageWindowScope() { freeMessageWindow(); }
    void setText(const QString &text);
    MessageWindowScope(const MessageWindowScope &) = delete;
    MessageWindowScope &operator=(const MessageWindowScope &) = delete;
};
