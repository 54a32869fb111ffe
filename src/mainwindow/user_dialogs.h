#pragma once

#include "printing/print_layout.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDialog;
class QPrintPreviewDialog;
class QWidget;

namespace stanzel {

// Every modal exchange with the user, and every hand-off to the desktop, goes
// through this interface, so the window's commands can be driven by tests
// that script the answers and capture what would be opened.
class UserDialogs {
public:
    enum class Icon { Information, Question, Warning, Error };

    virtual ~UserDialogs() = default;

    // A message with an OK button.
    virtual void message(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // A question with Yes and No buttons; true for Yes. Enter gives
    // `preferred`: No for a question whose Yes loses something.
    enum class Answer { Yes, No };
    virtual bool question(QWidget* parent, const QString& title, const QString& text,
                          Answer preferred = Answer::Yes) = 0;
    // Hands an address (web or mailto) to the desktop's default handler;
    // false when the desktop has none for it.
    virtual bool openUrl(const QUrl& url) = 0;
    // A one-line prompt that starts empty; nothing when it is cancelled.
    virtual std::optional<QString> inputText(QWidget* parent, const QString& title,
                                             const QString& prompt) = 0;
    // Shows one of the program's own modal windows; true when it was accepted.
    virtual bool exec(QDialog& dialog) = 0;
    // The save dialog with its file-type list, `preselected` counting from 1;
    // it does not ask about existing files itself. Nothing when cancelled.
    struct SaveChoice {
        QString file;
        int filterIndex = 0; // counting from 1
    };
    virtual std::optional<SaveChoice> saveFile(QWidget* parent, const QStringList& filters,
                                               int preselected) = 0;
    // The save dialog for one kind of file, with its one file-type entry,
    // opened in `folder` (its own choice when that is empty or gone) with
    // `name` filled in. It does not ask about existing files itself.
    // Nothing when cancelled.
    virtual std::optional<QString> saveFileIn(QWidget* parent, const QString& filter,
                                              const QString& folder, const QString& name) = 0;
    // Progress of a long command that the user may cancel; it goes away with
    // the object.
    class Progress {
    public:
        virtual ~Progress() = default;
        // False once the user has asked to cancel.
        virtual bool update(std::size_t done, std::size_t total) = 0;
    };
    virtual std::unique_ptr<Progress> progress(QWidget* parent, const QString& title) = 0;
    // The colour chooser, opened on `initial`; nothing when it is cancelled.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) = 0;
    // Prints on the default printer, without a print dialog.
    virtual void print(const PrintedPoem& poem) = 0;
    // Shows Qt's print preview, already set to draw its pages, until the
    // user closes it or prints from it.
    virtual void showPrintPreview(QPrintPreviewDialog& preview) = 0;
    // The list of kept drafts, newest first, with the first one chosen so
    // that Enter recovers it. `remove` deletes a draft from the list's Delete
    // button and says whether it went. The draft to recover, or nothing when
    // the list is cancelled.
    struct DraftRow {
        std::uint64_t number = 0;
        QString time;
        QString title;
        QString firstLine;
    };
    struct DraftListTexts {
        QString windowTitle, time, title, firstLine, recover, remove, cancel;
        QColor background; // the poem list's, which the user chose
    };
    virtual std::optional<std::uint64_t>
    chooseDraft(QWidget* parent, const DraftListTexts& texts, const std::vector<DraftRow>& rows,
                const std::function<bool(std::uint64_t number)>& remove) = 0;
};

} // namespace stanzel
