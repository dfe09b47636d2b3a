#pragma once
// The one seam through which the program shows message boxes, confirmations
// and input boxes. Tests install a responder that answers them and records
// what was shown.
#include <QString>
#include <functional>

class QWidget;

namespace dlg {

enum class Kind { Message, Warning, Error, YesNo, OkCancel, Input };

struct Request
{
    Kind kind = Kind::Message;
    QString caption;
    QString text;
    QString prompt;      // input boxes
    QString initial;     // input boxes: the text offered
};

struct Reply
{
    bool accepted = true; // Yes / OK
    QString text;         // input boxes
};

using Responder = std::function<Reply(const Request &)>;

// The caption of message, confirmation and warning boxes: the program's
// title, set once at start-up (until then "提示").
void setCaption(const QString &caption);

// Installs a responder in place of real dialogs (nullptr restores real ones).
void setResponder(Responder r);

void message(const QString &text, QWidget *parent = nullptr);
// Warnings and errors tell a database failure in the program's wording
// (platform/db/errortext.h).
void warning(const QString &text, QWidget *parent = nullptr);
void error(const QString &text, QWidget *parent = nullptr);
bool yesNo(const QString &text, QWidget *parent = nullptr);
bool okCancel(const QString &text, QWidget *parent = nullptr);
// Returns false when cancelled; *value holds the typed text otherwise.
bool input(const QString &caption, const QString &prompt, QString *value, QWidget *parent = nullptr);

} // namespace dlg
