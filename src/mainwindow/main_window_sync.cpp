// The main window in a folder that a sync tool or another program writes
// into: what changes there is seen at once, and nothing either side wrote
// is lost.
#include "mainwindow/folder_watch.h"
#include "mainwindow/main_window.h"
#include "mainwindow/qt_text.h"
#include "storage/atomic_file.h"
#include "storage/conflict_copies.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <array>

namespace stanzel {

namespace {

// Sync tools write a file and rename it into place, often several in a
// row; changes are taken once the folder has been quiet this long.
constexpr int kGatherMs = 300;
constexpr int kStatusMs = 6000;

// Puts the text in the box and the cursor back where it stood, as near as
// the new text allows.
void ReplaceKeepingCursor(QLineEdit* box, const QString& text) {
    if (box->text() == text)
        return;
    const int cursor = box->cursorPosition();
    box->setText(text);
    box->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
}

void ReplaceKeepingCursor(QTextEdit* box, const QString& text) {
    if (box->toPlainText() == text)
        return;
    const int cursor = box->textCursor().position();
    const int scroll = box->verticalScrollBar()->value();
    box->setPlainText(text);
    QTextCursor moved = box->textCursor();
    moved.setPosition(std::min(cursor, static_cast<int>(text.size())));
    box->setTextCursor(moved);
    box->verticalScrollBar()->setValue(scroll);
}

} // namespace

void MainWindow::watchCollection() {
    outsideChanges_ = new QTimer(this);
    outsideChanges_->setSingleShot(true);
    outsideChanges_->setInterval(kGatherMs);
    folderWatch_ = new FolderWatch(this, [this] { outsideChanges_->start(); });
    connect(outsideChanges_, &QTimer::timeout, this,
            [this] { guarded([this] { takeOutsideChanges(); }); });
    // Armed once the list is whole, by the first look at what changed:
    // watching a folder costs the system a pass over the names it has seen
    // in it, a tenth of a second for a million poems, which the first paint
    // does not wait for. What changes before is taken in by that look.
}

void MainWindow::armFolderWatch() {
    // A folder that was replaced, or made only now, is watched afresh.
    const QString folder = QString::fromStdString(programDir().string());
    folderWatch_->watch(0, folder, IsIndexConflictCopy);
    folderWatch_->watch(1, folder + QStringLiteral("/poems"), IsTextConflictCopy);
}

void MainWindow::takeOutsideChanges() {
    armFolderWatch();
    // The list still being read is read whole first: it may hold a file
    // that was replaced meanwhile.
    if (store_.reading()) {
        outsideChanges_->start();
        return;
    }
    const auto before = store_.indexAsRead();
    const int scrolled = listView_->verticalScrollBar()->value();
    // The program's own saves leave the identity the store recorded, so
    // only another program's writes read the index again.
    if (store_.Refresh()) {
        selectRowQuietly(editorRow());
        listView_->verticalScrollBar()->setValue(scrolled);
        if (const auto changed = ChangedPoems(*before, *store_.indexAsRead()))
            statusBar()->showMessage(
                ToQ(FormatTemplate(strings_["changedelsewhere"], std::to_string(changed))),
                kStatusMs);
    }
    takeConflictCopies();
    followOpenPoem();
}

void MainWindow::takeConflictCopies() {
    // A look begun already goes on, and takes in what its end finds.
    if (looks_[0]) {
        readTimer_->start();
        return;
    }
    // A conflict copy comes by a name added to one of the two folders: the
    // watch tells it by its name, and while it tells none, the names of a
    // large collection's poems are not read again.
    const FolderWatch::Told told = folderWatch_->take();
    if (told.whole && !told.kept)
        return;
    // Where the watch may have missed a name, a folder that changed since
    // the last look is looked through.
    const std::array<FileIdentity, 2> folders{FileIdentity::Now(FileRef(collection_, ".")),
                                              FileIdentity::Now(store_.poemsFolder())};
    if (!told.kept && folders == conflictsLookedAt_)
        return;
    looks_ = {std::make_unique<FolderLook>(FileRef(collection_, "."), IsIndexConflictCopy),
              std::make_unique<FolderLook>(store_.poemsFolder(), IsTextConflictCopy)};
    readTimer_->start();
}

void MainWindow::mergeConflictCopies(const ConflictCopyNames& names) {
    std::vector<std::string> said;
    try {
        // A list read again here keeps the editor's poem selected; the
        // merge only adds rows after it.
        refreshCollection();
        IniFile settings(SettingsFile(collection_));
        const ConflictMerge merge =
            MergeConflictCopies(store_, drafts_, settings, draftTime(), names);
        if (merge.poems > 0)
            said.push_back(FormatTemplate(strings_["conflictpoems"], std::to_string(merge.poems)));
        if (merge.drafts > 0)
            said.push_back(FormatTemplate(strings_["conflicttexts"], std::to_string(merge.drafts)));
        if (!merge.refused.empty())
            said.push_back(FormatTemplate(strings_["conflictrefused"], merge.refused.front()));
    } catch (const StorageError& error) {
        // A folder that cannot be written keeps its copies for a later look;
        // a message box at every change would only be in the way.
        said.push_back(FormatTemplate(strings_["conflictrefused"], error.what()));
    }
    std::string message;
    for (const std::string& part : said)
        message.append(message.empty() ? "" : " · ").append(part);
    if (!message.empty())
        statusBar()->showMessage(ToQ(message), kStatusMs);
}

void MainWindow::followOpenPoem() {
    if (currentPoemId_ == 0)
        return;
    const std::string id = FormatInt32(currentPoemId_);
    // A poem deleted elsewhere stays in the editor; Save stores it again.
    if (!store_.rowOf(id))
        return;
    const EditorContents stored = AsShown(store_.LoadPoem(id));
    if (stored == held_)
        return;
    if (editorContents() != held_) {
        // The user's edit is theirs: the boxes stay, and Save keeps both.
        statusBar()->showMessage(
            ToQ(FormatTemplate(strings_["poemchangedelsewhere"], FromQ(stored.title))), kStatusMs);
        return;
    }
    ReplaceKeepingCursor(titleEdit_, stored.title);
    ReplaceKeepingCursor(searchEdit_, stored.title);
    ReplaceKeepingCursor(poetEdit_, stored.poet);
    ReplaceKeepingCursor(dateEdit_, stored.date);
    ReplaceKeepingCursor(poemEdit_, stored.text);
    holdEditorContents();
}

} // namespace stanzel
