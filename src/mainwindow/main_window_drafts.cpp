// The main window's safety net: an edit that a command is about to drop is
// kept as a draft first, and Edit > Recover Draft brings it back.
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "storage/atomic_file.h"
#include "storage/number_text.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStatusBar>
#include <QTextEdit>

namespace stanzel {

namespace {

constexpr auto kDraftTimeFormat = "yyyy-MM-dd HH:mm:ss";
constexpr int kStatusMs = 6000;

// The time a draft was kept as the user's desktop writes times.
QString ShownDraftTime(const std::string& stored) {
    const QDateTime time = QDateTime::fromString(ToQ(stored), QLatin1String(kDraftTimeFormat));
    return time.isValid() ? QLocale::system().toString(time, QLocale::ShortFormat) : ToQ(stored);
}

} // namespace

EditorContents AsShown(const PoemRecord& poem) {
    return {ToQ(poem.title), ToQ(poem.poet), ToQ(poem.date), PoemToEditor(poem.text)};
}

EditorContents MainWindow::editorContents() const {
    return {titleEdit_->text(), poetEdit_->text(), dateEdit_->text(), poemEdit_->toPlainText()};
}

void MainWindow::holdEditorContents() {
    held_ = editorContents();
}

bool MainWindow::keepDraft(bool atClose) {
    const EditorContents shown = editorContents();
    const bool edited = currentPoemId_ == 0 ? shown != EditorContents{} : shown != held_;
    if (!edited)
        return true;
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
    const auto kept =
        drafts_.Keep(stored, draftTime());
    if (kept.error)
        throw StorageError("The version of \"" + stored.title +
                           "\" saved elsewhere could not be kept: " + DescribeError(kept.error));
    // What the save now goes over is the version just kept.
    held_ = AsShown(stored);
    statusBar()->showMessage(
        ToQ(FormatTemplate(strings_["otherversionkept"], stored.title)), kStatusMs);
    return seen;
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
        rows.push_back({draft.number, ShownDraftTime(draft.time), ToQ(draft.poem.title),
                        ToQ(FirstLineOf(draft.poem.text))});
    const UserDialogs::DraftListTexts texts{
        text("drafts"),       text("drafttime"),   text("drafttitle"), text("draftline"),
        text("draftrecover"), text("draftdelete"), text("draftcancel")};
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
    drafts_.Remove(*chosen);

    // An edit of a poem that is still stored; of a deleted one, a new poem.
    const std::string id = FormatInt32(draft->poem.id);
    store_.Refresh();
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
    const EditorContents recovered = AsShown(draft->poem);
    titleEdit_->setText(recovered.title);
    searchEdit_->setText(recovered.title);
    poetEdit_->setText(recovered.poet);
    dateEdit_->setText(recovered.date);
    poemEdit_->setPlainText(recovered.text);
    titleEdit_->setFocus();
}

} // namespace stanzel
