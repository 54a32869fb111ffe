#pragma once

#include "mainwindow/user_dialogs.h"

#include <deque>
#include <vector>

namespace stanzel::testing {

// Answers the window's questions from a script and records everything it
// shows or opens, so no test ever waits on a real modal dialog.
class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        Icon icon;
        QString title;
        QString text;
    };

    void message(QWidget*, Icon icon, const QString& title, const QString& text) override {
        shown.push_back({icon, title, text});
    }
    bool question(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({Icon::Question, title, text});
        if (answers.empty())
            return false; // an unscripted question is declined
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void openUrl(const QUrl& url) override { opened.push_back(url); }

    std::vector<QString> errors() const {
        std::vector<QString> texts;
        for (const auto& entry : shown)
            if (entry.icon == Icon::Error)
                texts.push_back(entry.text);
        return texts;
    }

    std::deque<bool> answers;
    std::vector<Shown> shown;
    std::vector<QUrl> opened;
};

} // namespace stanzel::testing
