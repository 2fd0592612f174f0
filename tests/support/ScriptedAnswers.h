#pragma once

// The one answerer of the program's message boxes, file dialogs and calendar in tests: answers
// come from scripts (a message box gets OK and a file dialog cancel once its script has run out),
// and every request is kept. Installed for the object's lifetime.

#include "app/MessageBoxes.h"

#include <QDateTime>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace testsupport {

struct ScriptedAnswers {
    ScriptedAnswers() {
        previousMessages = app::setMessageAnswerer([this](const app::MessageRequest& r) {
            asked.push_back(r);
            if (answers.empty())
                return devlink::Answer::Ok;
            const devlink::Answer a = answers.front();
            answers.pop_front();
            return a;
        });
        previousFiles = app::setFileDialogAnswerer([this](const app::FileDialogRequest& r) {
            fileRequests.push_back(r);
            if (files.empty())
                return QString();
            QString f = files.front();
            files.pop_front();
            return f;
        });
        previousCalendar = app::setCalendarAnswerer([this] { return now ? *now : QDateTime::currentDateTime(); });
    }
    ~ScriptedAnswers() {
        app::setMessageAnswerer(previousMessages);
        app::setFileDialogAnswerer(previousFiles);
        app::setCalendarAnswerer(previousCalendar);
    }
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    // "title: text" of every box asked so far, for comparisons and failure messages.
    QStringList askedTexts() const {
        QStringList out;
        for (const auto& r : asked)
            out << r.title + QStringLiteral(": ") + r.text;
        return out;
    }

    std::deque<devlink::Answer> answers;
    std::vector<app::MessageRequest> asked;
    std::deque<QString> files;
    std::vector<app::FileDialogRequest> fileRequests;
    std::optional<QDateTime> now;

private:
    app::MessageAnswerer previousMessages;
    app::FileDialogAnswerer previousFiles;
    app::CalendarAnswerer previousCalendar;
};

} // namespace testsupport
