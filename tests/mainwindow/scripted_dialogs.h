#pragma once

#include "mainwindow/user_dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPrintPreviewDialog>
#include <deque>
#include <functional>
#include <memory>
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
    bool question(QWidget*, const QString& title, const QString& text, Answer preferred) override {
        shown.push_back({Icon::Question, title, text});
        preferredAnswers.push_back(preferred);
        progressOpenAtQuestion.push_back(progressOpen);
        if (answers.empty())
            return false; // an unscripted question is declined
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        return desktopOpensAddresses;
    }
    std::optional<QString> inputText(QWidget*, const QString& title,
                                     const QString& prompt) override {
        shown.push_back({Icon::Question, title, prompt});
        if (inputs.empty())
            return std::nullopt;
        auto answer = inputs.front();
        inputs.pop_front();
        return answer;
    }
    // The next script acts on the window as a user would (types, clicks a
    // button, closes it); an unscripted window is closed by its title bar.
    bool exec(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (!windowScripts.empty()) {
            auto script = std::move(windowScripts.front());
            windowScripts.pop_front();
            script(dialog);
        }
        if (dialog.isVisible())
            dialog.close();
        return dialog.result() == QDialog::Accepted;
    }

    void print(const PrintedPoem& poem) override { printed.push_back(poem); }
    // The preview is the real one: shown, acted on by the next script (which
    // may read its pages or print from it), then closed.
    void showPrintPreview(QPrintPreviewDialog& preview) override {
        preview.show();
        QCoreApplication::processEvents();
        ++previewsShown;
        if (!previewScripts.empty()) {
            auto script = std::move(previewScripts.front());
            previewScripts.pop_front();
            script(preview);
        }
        if (preview.isVisible())
            preview.close();
    }
    std::optional<QString> saveFileIn(QWidget*, const QString& filter, const QString& folder,
                                      const QString& name) override {
        saveFilters = {filter};
        saveFolders.push_back(folder);
        saveNames.push_back(name);
        if (savePaths.empty())
            return std::nullopt;
        auto answer = savePaths.front();
        savePaths.pop_front();
        return answer;
    }
    std::optional<SaveChoice> saveFile(QWidget*, const QStringList& filters,
                                       int preselected) override {
        saveFilters = filters;
        savePreselected.push_back(preselected);
        if (saveChoices.empty())
            return std::nullopt;
        auto answer = saveChoices.front();
        saveChoices.pop_front();
        return answer;
    }
    class CountingProgress : public Progress {
    public:
        explicit CountingProgress(ScriptedDialogs& owner) : owner_(owner) {
            owner_.progressOpen = true;
        }
        ~CountingProgress() override { owner_.progressOpen = false; }
        bool update(std::size_t done, std::size_t total) override {
            owner_.progressSteps.push_back({done, total});
            return owner_.cancelProgressAt < 0 ||
                   done < static_cast<std::size_t>(owner_.cancelProgressAt);
        }

    private:
        ScriptedDialogs& owner_;
    };
    std::unique_ptr<Progress> progress(QWidget*, const QString&) override {
        return std::make_unique<CountingProgress>(*this);
    }
    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override {
        chooserOpenedOn.push_back(initial);
        if (colours.empty())
            return std::nullopt;
        auto answer = colours.front();
        colours.pop_front();
        return answer;
    }

    // Each answer acts on the list of drafts as the user would: Delete removes
    // a row and the list stays open; Recover or Cancel ends it. An unscripted
    // list is cancelled.
    struct DraftAnswer {
        enum Action { Recover, Delete, Cancel } action = Cancel;
        std::size_t row = 0;
    };
    std::optional<std::uint64_t>
    chooseDraft(QWidget*, const DraftListTexts& texts, const std::vector<DraftRow>& rows,
                const std::function<bool(std::uint64_t)>& remove) override {
        draftListTexts = texts;
        draftLists.push_back(rows);
        std::vector<DraftRow> shownRows = rows;
        while (!draftAnswers.empty()) {
            const DraftAnswer answer = draftAnswers.front();
            draftAnswers.pop_front();
            if (answer.action == DraftAnswer::Cancel || answer.row >= shownRows.size())
                return std::nullopt;
            const std::uint64_t number = shownRows[answer.row].number;
            if (answer.action == DraftAnswer::Recover)
                return number;
            if (remove(number))
                shownRows.erase(shownRows.begin() + static_cast<std::ptrdiff_t>(answer.row));
        }
        return std::nullopt;
    }

    std::vector<QString> errors() const {
        std::vector<QString> texts;
        for (const auto& entry : shown)
            if (entry.icon == Icon::Error)
                texts.push_back(entry.text);
        return texts;
    }

    std::deque<bool> answers;
    std::deque<std::optional<QString>> inputs;
    std::deque<std::function<void(QDialog&)>> windowScripts;
    std::vector<Shown> shown;
    std::vector<QUrl> opened;
    bool desktopOpensAddresses = true;
    std::vector<Answer> preferredAnswers; // Enter's answer, for each question asked
    std::vector<PrintedPoem> printed;
    std::deque<std::optional<QColor>> colours;
    std::deque<std::optional<SaveChoice>> saveChoices;
    std::deque<std::optional<QString>> savePaths; // for the save dialog of one file type
    std::vector<QString> saveFolders;             // where each of those opened
    std::vector<QString> saveNames;               // and the name it suggested
    std::deque<std::function<void(QPrintPreviewDialog&)>> previewScripts;
    int previewsShown = 0;
    QStringList saveFilters;
    std::vector<int> savePreselected;
    std::vector<std::pair<std::size_t, std::size_t>> progressSteps;
    long cancelProgressAt = -1; // cancel once this many poems are done
    bool progressOpen = false;
    std::vector<bool> progressOpenAtQuestion; // for each question asked
    std::vector<QColor> chooserOpenedOn;
    std::deque<DraftAnswer> draftAnswers;
    std::vector<std::vector<DraftRow>> draftLists; // every list shown, as it opened
    DraftListTexts draftListTexts;
};

} // namespace stanzel::testing
