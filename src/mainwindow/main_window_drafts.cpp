// The main window's safety net: an edit that a command is about to drop is
// kept as a draft first, and Edit > Recover Draft brings it back.
#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_colour.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStatusBar>
#include <QTextEdit>

namespace stanzel {

namespace {

constexpr auto kDraftTimeFormat = "yyyy-MM-dd HH:mm:ss";
constexpr int kStatusMs = 6000;

// The time a draft was kept as the interface's language writes times.
QString ShownDraftTime(const std::string& stored, const QLocale& locale) {
    const QDateTime time = QDateTime::fromString(ToQ(stored), QLatin1String(kDraftTimeFormat));
    return time.isValid() ? locale.toString(time, QLocale::ShortFormat) : ToQ(stored);
}

} // namespace

EditorContents AsShown(const PoemRecord& poem) {
    return {ToQ(poem.title), ToQ(poem.poet), ToQ(poem.date), PoemToEditor(poem.text)};
}

EditorContents MainWindow::editorContents() const {
    return {titleEdit_->text(), poetEdit_->text(), dateEdit_->text(), poemEdit_->toPlainText()};
}

void MainWindow::showInEditor(const EditorContents& shown) {
    titleEdit_->setText(shown.title);
    searchEdit_->setText(shown.title);
    poetEdit_->setText(shown.poet);
    dateEdit_->setText(shown.date);
    poemEdit_->setPlainText(shown.text);
}

void MainWindow::holdEditorContents() {
    held_ = editorContents();
    showEditorState();
}

bool MainWindow::editorHoldsEdit() const {
    const EditorContents shown = editorContents();
    return currentPoemId_ == 0 ? shown != EditorContents{} : shown != held_;
}

bool MainWindow::keepDraft(bool atClose) {
    if (!editorHoldsEdit())
        return true;
    const EditorContents shown = editorContents();
    const PoemRecord poem{currentPoemId_, FromQ(shown.title), FromQ(shown.poet), FromQ(shown.date),
                          EditorToPoem(shown.text)};
    const std::string time = draftTime();
    const auto kept = atClose ? drafts_.KeepAtClose(poem, time) : drafts_.Keep(poem, time);
    if (!kept.error)
        return true;
    // A draft that cannot be written (a full disk, a read-only collection)
    // is never lost silently: the user decides, once.
    const std::string_view name = poem.title.empty() ? FirstLineOf(poem.text) : poem.title;
    return dialogs_.question(
        this, text("quest"),
        ToQ(FormatTemplate(strings_["draftnotkept"], name, kept.error.message())));
}

std::string MainWindow::draftTime() const {
    return FromQ(clock_().toString(QLatin1String(kDraftTimeFormat)));
}

QString MainWindow::draftListTitle(const Draft& draft) const {
    if (draft.deleted)
        return ToQ(FormatTemplate(strings_["draftofdeleted"], draft.poem.title));
    if (draft.elsewhere)
        return ToQ(FormatTemplate(strings_["draftfromelsewhere"], draft.poem.title));
    return ToQ(draft.poem.title);
}

FileIdentity MainWindow::keepVersionSavedElsewhere() {
    if (currentPoemId_ == 0)
        return {};
    const std::string id = FormatInt32(currentPoemId_);
    // Taken before the read: a text that arrives meanwhile makes the save
    // look again rather than pass unseen.
    const FileIdentity seen = FileIdentity::Now(*store_.poemFile(id));
    if (!store_.rowOf(id))
        return seen;
    const PoemRecord stored = store_.LoadPoem(id);
    if (AsShown(stored) == held_)
        return seen;
    const auto kept = drafts_.KeepElsewhere(stored, draftTime());
    if (kept.error)
        throw StorageError(FormatTemplate(strings_["otherversionnotkept"], stored.title,
                                          DescribeError(kept.error)));
    // What the save now goes over is the version just kept.
    held_ = AsShown(stored);
    statusBar()->showMessage(ToQ(FormatTemplate(strings_["otherversionkept"], stored.title)),
                             kStatusMs);
    return seen;
}

std::uint64_t MainWindow::keepDeletedPoem(const std::string& id) {
    const PoemRecord stored = store_.LoadPoem(id);
    const auto kept = drafts_.KeepDeleted(stored, draftTime());
    // A deletion that could not be undone is not made.
    if (kept.error)
        throw StorageError("\"" + stored.title + "\" was not deleted: it could not be kept for " +
                           "Recover Draft: " + DescribeError(kept.error));
    return kept.number;
}

PoemRecord MainWindow::restoreDeletedPoem(const PoemRecord& poem) {
    PoemRecord restored = poem;
    const bool idFree = poem.id != 0 && !store_.rowOf(FormatInt32(poem.id));
    if (idFree) {
        store_.SavePoem(poem.id, poem.title, poem.poet, poem.date, poem.text);
    } else {
        // A new id moves the counter, which is stored with the poem.
        IniFile settings(SettingsFile(collection_));
        settings.HoldWrites();
        restored.id = store_.SavePoem(0, poem.title, poem.poet, poem.date, poem.text, &settings);
    }
    findPanel_->poemSaved(restored);
    return restored;
}

void MainWindow::announceKeptDraft() {
    const auto draft = drafts_.TakeKeptAtClose();
    if (!draft)
        return;
    const std::string_view name =
        draft->poem.title.empty() ? FirstLineOf(draft->poem.text) : draft->poem.title;
    statusLabel_->setText(ToQ(FormatTemplate(strings_["draftkept"], name)));
}

void MainWindow::recoverDraft() {
    const std::vector<Draft> drafts = drafts_.List();
    if (drafts.empty()) {
        dialogs_.message(this, UserDialogs::Icon::Information, text("drafts"), text("nodrafts"));
        return;
    }
    std::vector<UserDialogs::DraftRow> rows;
    rows.reserve(drafts.size());
    for (const Draft& draft : drafts)
        rows.push_back({draft.number, ShownDraftTime(draft.time, interfaceLocale()),
                        draftListTitle(draft), ToQ(FirstLineOf(draft.poem.text))});
    const UserDialogs::DraftListTexts texts{
        text("drafts"),       text("drafttime"),
        text("drafttitle"),   text("draftline"),
        text("draftrecover"), text("draftdelete"),
        text("draftcancel"),  ToQColor(colours_.list, QApplication::palette())};
    const auto chosen = dialogs_.chooseDraft(
        this, texts, rows, [this](std::uint64_t number) { return drafts_.Remove(number); });
    if (!chosen)
        return;
    const auto draft = drafts_.Read(*chosen);
    if (!draft)
        return;
    if (const auto why = TooLargeToShow(draft->poem.text))
        throw StorageError("Cannot recover the draft \"" + draft->poem.title + "\". " + *why);
    // The edit it replaces is kept first, and the recovered draft, already
    // read, leaves the list only once the editor is to take it.
    if (!keepDraft())
        return;
    // A deleted poem is back in the collection before its draft goes.
    std::optional<PoemRecord> restored;
    if (draft->deleted) {
        store_.Refresh();
        restored = restoreDeletedPoem(draft->poem);
    }
    drafts_.Remove(*chosen);

    store_.Refresh();
    if (restored) {
        currentPoemId_ = restored->id;
        showInEditor(AsShown(*restored));
        held_ = editorContents();
    } else {
        // An edit of a poem that is still stored; of a deleted one, a new poem.
        const std::string id = FormatInt32(draft->poem.id);
        const bool stored = draft->poem.id != 0 && store_.rowOf(id).has_value();
        currentPoemId_ = stored ? draft->poem.id : 0;
        held_ = {};
        if (stored) {
            try {
                held_ = AsShown(store_.LoadPoem(id));
            } catch (const std::exception&) {
                // Compared with nothing, the recovered text counts as an edit.
            }
        }
        showInEditor(AsShown(draft->poem));
    }
    highlightEditorPoem();
    showEditorState();
    titleEdit_->setFocus();
}

} // namespace stanzel
