#include "platform/widgets/dialogs.h"

#include "platform/db/errortext.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace dlg {

namespace {
Responder &responder()
{
    static Responder r;
    return r;
}

QString &caption()
{
    static QString c;
    return c;
}

QString appCaption()
{
    return caption().isEmpty() ? QStringLiteral("提示") : caption();
}

QWidget *owner(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

Reply ask(const Request &req, QWidget *parent)
{
    if (responder())
        return responder()(req);
    Reply reply;
    QWidget *p = owner(parent);
    switch (req.kind) {
    case Kind::Message:
        QMessageBox::information(p, req.caption, req.text);
        break;
    case Kind::Warning:
        QMessageBox::warning(p, req.caption, req.text);
        break;
    case Kind::Error:
        QMessageBox::critical(p, req.caption, req.text);
        break;
    case Kind::YesNo:
        reply.accepted = QMessageBox::question(p, req.caption, req.text, QMessageBox::Yes | QMessageBox::No,
                                               QMessageBox::No) == QMessageBox::Yes;
        break;
    case Kind::OkCancel:
        reply.accepted = QMessageBox::question(p, req.caption, req.text, QMessageBox::Ok | QMessageBox::Cancel,
                                               QMessageBox::Cancel) == QMessageBox::Ok;
        break;
    case Kind::Input: {
        bool ok = false;
        reply.text = QInputDialog::getText(p, req.caption, req.prompt, QLineEdit::Normal, req.initial, &ok);
        reply.accepted = ok;
        break;
    }
    }
    return reply;
}

Request make(Kind k, const QString &text)
{
    Request r;
    r.kind = k;
    r.caption = appCaption();
    r.text = text;
    return r;
}
} // namespace

void setCaption(const QString &c)
{
    caption() = c;
}

void setResponder(Responder r)
{
    responder() = std::move(r);
}

void message(const QString &text, QWidget *parent) { ask(make(Kind::Message, text), parent); }
// A database failure reaches the user in the program's one wording, whichever
// handler met it.
void warning(const QString &text, QWidget *parent) { ask(make(Kind::Warning, db::describeError(text)), parent); }
void error(const QString &text, QWidget *parent) { ask(make(Kind::Error, db::describeError(text)), parent); }
bool yesNo(const QString &text, QWidget *parent) { return ask(make(Kind::YesNo, text), parent).accepted; }
bool okCancel(const QString &text, QWidget *parent) { return ask(make(Kind::OkCancel, text), parent).accepted; }

bool input(const QString &caption, const QString &prompt, QString *value, QWidget *parent)
{
    Request r = make(Kind::Input, QString());
    r.caption = caption;
    r.prompt = prompt;
    r.initial = value ? *value : QString();
    const Reply reply = ask(r, parent);
    if (reply.accepted && value)
        *value = reply.text;
    return reply.accepted;
}

} // namespace dlg
