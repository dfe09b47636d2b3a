#pragma once
// Answers the program's message boxes in tests and records what they said.
#include "platform/widgets/dialogs.h"

#include <QStringList>
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

    QStringList shown;
    QStringList captions;
    std::vector<dlg::Kind> kinds;
    std::deque<dlg::Reply> answers;
};
