#pragma once
// Answers the program's message boxes in tests and records what they said.
#include "platform/widgets/dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <deque>

class DialogScript
{
public:
    DialogScript()
    {
        dlg::setResponder([this](const dlg::Request &r) {
            shown.append(r.text.isEmpty() ? r.prompt : r.text);
            captions.append(r.caption);
            kinds.push_back(r.kind);
            if (realBoxes)
                showAndClose(r);
            if (answers.empty())
                return dlg::Reply{}; // OK when no answer is queued
            const dlg::Reply reply = answers.front();
            answers.pop_front();
            return reply;
        });
    }
    ~DialogScript() { dlg::setResponder(nullptr); }

    void answer(bool accepted, const QString &text = QString()) { answers.push_back({accepted, text}); }
    QString last() const { return shown.isEmpty() ? QString() : shown.last(); }
    void clear() { shown.clear(); captions.clear(); kinds.clear(); }

    // Each box is also shown for real, modal, and closed once it is the
    // active window: it takes the focus from the window below as on a desktop.
    bool realBoxes = false;

    QStringList shown;
    QStringList captions;
    std::vector<dlg::Kind> kinds;
    std::deque<dlg::Reply> answers;

private:
    static void showAndClose(const dlg::Request &r)
    {
        QWidget *below = QApplication::activeWindow();
        QMessageBox box(QMessageBox::Information, r.caption, r.text.isEmpty() ? r.prompt : r.text, QMessageBox::Ok, below);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &box, [&box]() {
            if (QApplication::activeWindow() == &box)
                box.accept();
        });
        poll.start(1);
        box.exec();
        // The window below is active again, as a desktop makes it.
        if (below) {
            below->activateWindow();
            for (int i = 0; i < 200 && QApplication::activeWindow() != below; ++i)
                QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
};
