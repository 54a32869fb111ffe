#include "full_disk.h"
#include "mainwindow/recover_draft_dialog.h"
#include "mainwindow/window_fixture.h"
#include "storage/draft_path.h"
#include "storage/draft_store.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::DraftPath;
using testing::MainWindowTest;
using testing::ReadBytes;
using testing::WriteBytes;
using Answer = testing::ScriptedDialogs::DraftAnswer;

constexpr const char* kTime = "2026-12-08 14:05:09"; // the fixture's clock
// Long enough that a file-size limit can fail the draft and no other write.
const QString kEditedText = "one\ntwo\nthree " + QString(6000, 'x');

class DraftWindowTest : public MainWindowTest {
public:
    // For the table of commands below.
    using MainWindowTest::actions;
    using MainWindowTest::dialogs;
    using MainWindowTest::dir;
    using MainWindowTest::exists;
    using MainWindowTest::file;
    using MainWindowTest::poemEdit;
    using MainWindowTest::rows;
    using MainWindowTest::select;
    using MainWindowTest::titleEdit;
    using MainWindowTest::window;

protected:
    void startWithTwoPoems() {
        WriteBytes(
            dir / "poems.dmp",
            "[4]\r\ntitle=Four\r\npoet=P\r\ndate=D\r\n[9]\r\ntitle=Nine\r\npoet=\r\ndate=\r\n");
        fs::create_directory(dir / "poems");
        WriteBytes(dir / "poems" / "4.poem", "one\r\ntwo");
        WriteBytes(dir / "poems" / "9.poem", "nine");
        start();
    }
    // Poem 4 selected and every field edited.
    void editPoemFour() {
        select(0);
        ASSERT_EQ(window->currentPoemId(), 4);
        type("Four, edited", kEditedText, "Poet \"X\"", " 1999 ");
    }
    std::vector<Draft> drafts() const { return DraftStore(dir.path()).List(); }
    void recover(std::deque<Answer> answers) {
        dialogs.draftAnswers = std::move(answers);
        actions().recoverDraft->trigger();
    }
};

void ExpectEditOfPoemFour(const Draft& draft, std::int32_t id) {
    EXPECT_EQ(draft.poem.id, id);
    EXPECT_EQ(draft.poem.title, "Four, edited");
    EXPECT_EQ(draft.poem.poet, "Poet \"X\"");
    EXPECT_EQ(draft.poem.date, " 1999 ");
    EXPECT_EQ(draft.poem.text, "one\r\ntwo\r\nthree " + std::string(6000, 'x'));
    EXPECT_EQ(draft.time, kTime);
}

// ---- each command that drops an edit keeps it first ----------------------

// The five commands that empty or replace the editor, each with what it must
// do whether or not its draft could be written.
struct DroppingCommand {
    const char* name;
    void (*run)(DraftWindowTest& test);
    void (*checkDone)(DraftWindowTest& test);
    std::int32_t draftId; // the draft's id: 0 once the poem is deleted
};

void PrintTo(const DroppingCommand& command, std::ostream* os) {
    *os << command.name;
}

enum class DraftDisk { Writable, ReadOnly, Full };

// Makes the drafts folder unwritable for the life of the object: read-only
// (root, who writes anywhere, works as another user meanwhile) or full (a
// file-size limit fails the draft's write part-way, as a full disk does).
class DraftDiskFault {
public:
    DraftDiskFault(DraftDisk kind, const fs::path& collection) : kind_(kind) {
        if (kind == DraftDisk::ReadOnly) {
            // Everything else stays writable for the other user.
            fs::permissions(collection, fs::perms::all);
            for (const auto& item : fs::recursive_directory_iterator(collection))
                fs::permissions(item.path(),
                                item.is_directory() ? fs::perms::all : fs::perms(0666));
            fs::create_directories(collection / "drafts");
            fs::permissions(collection / "drafts", fs::perms(0555));
            if (::geteuid() == 0)
                ::setfsuid(65534);
        } else if (kind == DraftDisk::Full) {
            full_.emplace(4096);
        }
    }
    ~DraftDiskFault() {
        if (kind_ == DraftDisk::ReadOnly && ::geteuid() == 0)
            ::setfsuid(0);
    }

private:
    DraftDisk kind_;
    std::optional<testing::FullDisk> full_;
};

class DroppedEdit : public DraftWindowTest,
                    public ::testing::WithParamInterface<std::tuple<DroppingCommand, DraftDisk>> {};

// The questions the window asked that were not the command's own.
std::vector<QString> DraftQuestions(const testing::ScriptedDialogs& dialogs) {
    std::vector<QString> texts;
    for (const auto& shown : dialogs.shown)
        if (shown.icon == UserDialogs::Icon::Question && shown.text.contains("draft"))
            texts.push_back(shown.text);
    return texts;
}

TEST_P(DroppedEdit, IsKeptOrDiscardedOnlyWhenTheUserSaysSo) {
    const auto& [command, disk] = GetParam();
    WriteBytes(dir / "dropped.txt", "from a file\n");
    startWithTwoPoems();
    editPoemFour();
    // Yes to discarding, should the draft fail.
    dialogs.answers = {true};
    {
        const DraftDiskFault fault(disk, dir.path());
        command.run(*this);
    }
    const bool deleting = std::string_view(command.name) == "Delete";
    const auto kept = drafts();
    const auto asked = DraftQuestions(dialogs);
    if (disk != DraftDisk::Writable) {
        ASSERT_EQ(asked.size(), 1u) << "asked once";
        EXPECT_TRUE(asked[0].startsWith("The changes to \"Four, edited\" could not be kept as a "
                                        "draft: "))
            << asked[0].toStdString();
        EXPECT_TRUE(asked[0].endsWith(". Discard them?")) << asked[0].toStdString();
        // Delete keeps the stored poem to undo it, or deletes nothing.
        if (deleting && disk == DraftDisk::ReadOnly) {
            EXPECT_EQ(dialogs.errors().size(), 1u);
            EXPECT_EQ(rows(), 2);
            EXPECT_TRUE(kept.empty());
            return;
        }
        command.checkDone(*this);
        EXPECT_TRUE(dialogs.errors().empty()) << dialogs.errors().front().toStdString();
        // The stored poem is short enough for the full disk; the edit is not.
        ASSERT_EQ(kept.size(), deleting ? 1u : 0u);
        if (deleting)
            EXPECT_TRUE(kept[0].deleted);
        return;
    }
    command.checkDone(*this);
    EXPECT_TRUE(dialogs.errors().empty()) << dialogs.errors().front().toStdString();
    EXPECT_TRUE(asked.empty());
    // The edit is kept first, the deleted poem after it.
    ASSERT_EQ(kept.size(), deleting ? 2u : 1u);
    ExpectEditOfPoemFour(kept.back(), command.draftId);
    if (deleting) {
        EXPECT_TRUE(kept[0].deleted);
        EXPECT_EQ(kept[0].poem.text, "one\r\ntwo");
    }
}

// Only where no draft can be written.
class DroppedEditNotKept : public DroppedEdit {};

TEST_P(DroppedEditNotKept, NoToDiscardingLeavesTheEditorAsItWas) {
    const auto& [command, disk] = GetParam();
    WriteBytes(dir / "dropped.txt", "from a file\n");
    startWithTwoPoems();
    editPoemFour();
    const std::string index = file("poems.dmp");
    dialogs.answers = {false};
    {
        const DraftDiskFault fault(disk, dir.path());
        command.run(*this);
    }
    EXPECT_EQ(DraftQuestions(dialogs).size(), 1u);
    EXPECT_EQ(window->currentPoemId(), 4);
    EXPECT_EQ(titleEdit()->text(), "Four, edited");
    EXPECT_EQ(poetEdit()->text(), "Poet \"X\"");
    EXPECT_EQ(poemEdit()->toPlainText(), kEditedText);
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(file("poems.dmp"), index);
    EXPECT_EQ(file("poems/4.poem"), "one\r\ntwo");
    EXPECT_TRUE(drafts().empty());
    // The edit is still the editor's: a Save stores it.
    actions().savePoem->trigger();
    EXPECT_EQ(file("poems/4.poem"), "one\r\ntwo\r\nthree " + std::string(6000, 'x'));
}

std::string
DroppedEditName(const ::testing::TestParamInfo<std::tuple<DroppingCommand, DraftDisk>>& info) {
    static constexpr const char* kDisks[] = {"", "ReadOnlyCollection", "FullDisk"};
    return std::string(std::get<0>(info.param).name) +
           kDisks[static_cast<int>(std::get<1>(info.param))];
}

const DroppingCommand kDroppingCommands[] = {
    DroppingCommand{"SelectAnotherRow", [](DraftWindowTest& t) { t.select(1); },
                    [](DraftWindowTest& t) {
                        EXPECT_EQ(t.window->currentPoemId(), 9);
                        EXPECT_EQ(t.poemEdit()->toPlainText(), "nine");
                    },
                    4},
    DroppingCommand{"New", [](DraftWindowTest& t) { t.actions().newPoem->trigger(); },
                    [](DraftWindowTest& t) {
                        EXPECT_EQ(t.window->currentPoemId(), 0);
                        EXPECT_EQ(t.titleEdit()->text(), "");
                        EXPECT_EQ(t.poemEdit()->toPlainText(), "");
                    },
                    4},
    DroppingCommand{"Import",
                    [](DraftWindowTest& t) {
                        t.dialogs.answers.push_front(true);
                        t.window->importDroppedFiles({t.dir / "dropped.txt"});
                    },
                    [](DraftWindowTest& t) {
                        EXPECT_EQ(t.window->currentPoemId(), 0);
                        EXPECT_EQ(t.titleEdit()->text(), "dropped");
                        EXPECT_EQ(t.poemEdit()->toPlainText(), "from a file\n");
                    },
                    4},
    DroppingCommand{"Delete",
                    [](DraftWindowTest& t) {
                        t.dialogs.answers.push_front(true);
                        t.actions().deletePoem->trigger();
                    },
                    [](DraftWindowTest& t) {
                        EXPECT_EQ(t.rows(), 1);
                        EXPECT_EQ(t.file("poems.dmp"), "[9]\r\ntitle=Nine\r\npoet=\r\ndate=\r\n");
                        EXPECT_FALSE(t.exists("poems/4.poem"));
                        EXPECT_EQ(t.titleEdit()->text(), "");
                    },
                    4},
    DroppingCommand{"Close", [](DraftWindowTest& t) { t.window->close(); },
                    [](DraftWindowTest& t) {
                        EXPECT_FALSE(t.window->isVisible());
                        EXPECT_TRUE(t.file("settings.ini").starts_with("[Language]"));
                    },
                    4}};

INSTANTIATE_TEST_SUITE_P(Commands, DroppedEdit,
                         ::testing::Combine(::testing::ValuesIn(kDroppingCommands),
                                            ::testing::Values(DraftDisk::Writable,
                                                              DraftDisk::ReadOnly,
                                                              DraftDisk::Full)),
                         DroppedEditName);
INSTANTIATE_TEST_SUITE_P(Commands, DroppedEditNotKept,
                         ::testing::Combine(::testing::ValuesIn(kDroppingCommands),
                                            ::testing::Values(DraftDisk::ReadOnly,
                                                              DraftDisk::Full)),
                         DroppedEditName);

TEST_F(DraftWindowTest, NothingIsKeptOfWhatIsStoredOrEmpty) {
    startWithTwoPoems();
    select(0);
    select(1);
    actions().newPoem->trigger(); // poem 9 unchanged
    actions().newPoem->trigger(); // an empty new poem
    select(0);
    // Edited and saved: nothing left to keep.
    poemEdit()->setPlainText("saved text");
    actions().savePoem->trigger();
    actions().newPoem->trigger();
    // Edited and put back as it was.
    select(1);
    poemEdit()->setPlainText("changed");
    poemEdit()->setPlainText("nine");
    window->close();
    EXPECT_TRUE(drafts().empty());
}

TEST_F(DraftWindowTest, ANewPoemWithAnyTextIsKeptWithIdZero) {
    startWithTwoPoems();
    actions().newPoem->trigger();
    poetEdit()->setText("only a poet");
    select(1);
    const auto kept = drafts();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].poem.id, 0);
    EXPECT_EQ(kept[0].poem.poet, "only a poet");
    EXPECT_EQ(kept[0].poem.title, "");
}

TEST_F(DraftWindowTest, TheHundredAndFirstDraftRemovesTheOldest) {
    startWithTwoPoems();
    DraftStore store(dir.path());
    store.Keep(PoemRecord{9, "old", "", "", "x"}, kTime);
    for (int number = 2; number <= 100; ++number)
        fs::copy_file(DraftPath(store, 1), DraftPath(store, static_cast<std::uint64_t>(number)));
    editPoemFour();
    actions().newPoem->trigger();
    const auto kept = drafts();
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(kept.front().number, 101u);
    ExpectEditOfPoemFour(kept.front(), 4);
    EXPECT_EQ(kept.back().number, 2u);
    EXPECT_FALSE(fs::exists(DraftPath(store, 1)));
}

// ---- bringing a draft back -----------------------------------------------

TEST_F(DraftWindowTest, RecoveringPutsTheEditBackAndSaveStoresIt) {
    startWithTwoPoems();
    editPoemFour();
    select(1);
    ASSERT_EQ(drafts().size(), 1u);

    recover({{Answer::Recover, 0}});
    EXPECT_EQ(window->currentPoemId(), 4);
    EXPECT_EQ(titleEdit()->text(), "Four, edited");
    EXPECT_EQ(searchEdit()->text(), "Four, edited");
    EXPECT_EQ(poetEdit()->text(), "Poet \"X\"");
    EXPECT_EQ(dateEdit()->text(), " 1999 ");
    EXPECT_EQ(poemEdit()->toPlainText(), kEditedText);
    EXPECT_TRUE(drafts().empty()) << "the recovered draft leaves the list";
    EXPECT_EQ(file("poems/4.poem"), "one\r\ntwo") << "recovering stores nothing";

    actions().savePoem->trigger();
    EXPECT_EQ(file("poems.dmp"), "[4]\r\ntitle=Four, edited\r\npoet=Poet \"X\"\r\n"
                                 "date=\" 1999 \"\r\n[9]\r\ntitle=Nine\r\npoet=\r\ndate=\r\n");
    EXPECT_EQ(file("poems/4.poem"), "one\r\ntwo\r\nthree " + std::string(6000, 'x'));
}

TEST_F(DraftWindowTest, ADeletedPoemComesBackAsANewOne) {
    startWithTwoPoems();
    editPoemFour();
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    // The edit, kept before the deleted poem: the second row.
    recover({{Answer::Recover, 1}});
    EXPECT_EQ(window->currentPoemId(), 0);
    EXPECT_EQ(titleEdit()->text(), "Four, edited");
    actions().savePoem->trigger();
    EXPECT_EQ(window->currentPoemId(), 10);
    EXPECT_EQ(file("poems/10.poem"), "one\r\ntwo\r\nthree " + std::string(6000, 'x'));
}

TEST_F(DraftWindowTest, ARecoveredEditThatIsDroppedAgainIsKeptAgain) {
    startWithTwoPoems();
    editPoemFour();
    select(1);
    // Poem 9 is edited too: recovering keeps that edit before replacing it.
    poemEdit()->setPlainText("nine, edited");
    recover({{Answer::Recover, 0}});
    auto kept = drafts();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].poem.id, 9);
    EXPECT_EQ(kept[0].poem.text, "nine, edited");

    actions().newPoem->trigger();
    kept = drafts();
    ASSERT_EQ(kept.size(), 2u);
    ExpectEditOfPoemFour(kept[0], 4);
}

TEST_F(DraftWindowTest, TheListShowsNewestFirstAndDeletes) {
    startWithTwoPoems();
    editPoemFour();
    select(1);
    poemEdit()->setPlainText("first line\nsecond line");
    actions().newPoem->trigger();

    // Delete the newest, then cancel: the editor is untouched.
    recover({{Answer::Delete, 0}, {Answer::Cancel, 0}});
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    const auto& rows = dialogs.draftLists[0];
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, "Nine");
    EXPECT_EQ(rows[0].firstLine, "first line");
    EXPECT_EQ(rows[1].title, "Four, edited");
    EXPECT_EQ(rows[1].firstLine, "one");
    EXPECT_FALSE(rows[0].time.isEmpty());
    EXPECT_EQ(dialogs.draftListTexts.windowTitle, "Recover Draft");
    EXPECT_EQ(dialogs.draftListTexts.firstLine, "First line");
    EXPECT_EQ(titleEdit()->text(), "");
    const auto kept = drafts();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].poem.title, "Four, edited");

    // The list opens from the keyboard, wherever the focus is.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    poemEdit()->setFocus();
    QTest::keyClick(poemEdit(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dialogs.draftLists.size(), 2u);
}

TEST_F(DraftWindowTest, NoDraftsSaySo) {
    start();
    actions().recoverDraft->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Recover Draft");
    EXPECT_EQ(dialogs.shown[0].text, "No drafts are kept.");
    EXPECT_TRUE(dialogs.draftLists.empty());
}

TEST_F(DraftWindowTest, ADraftKeptAtCloseIsToldOnceInTheInterfaceLanguage) {
    startWithTwoPoems();
    editPoemFour();
    window->close();

    fs::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Test.lng", "[language]\r\ndraftkept=Entwurf %s bewahrt\r\n");
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Test\r\n");
    start();
    EXPECT_EQ(status(), "Entwurf Four, edited bewahrt");
    window->close();

    start();
    EXPECT_EQ(status(), "Last saved: -");
    actions().newPoem->trigger(); // nothing typed: nothing kept
    poemEdit()->setPlainText("typed");
    window->close();
    // A language file without the text shows it in English.
    WriteBytes(dir / "lang" / "Test.lng", "[language]\r\nnew=Neu\r\n");
    start();
    EXPECT_EQ(status(), "A draft of \"typed\" was kept: Edit > Recover Draft");
}

// ---- the real list window ------------------------------------------------

class RecoverDraftDialogTest : public ::testing::Test {
protected:
    std::vector<UserDialogs::DraftRow> rows{
        {7, "10:00", "Newest", "a"}, {5, "09:00", "Older", "b"}, {2, "08:00", "Oldest", "c"}};
    UserDialogs::DraftListTexts texts{"Recover Draft", "Time",   "Title", "First line",
                                      "Recover",       "Delete", "Cancel"};
    std::vector<std::uint64_t> removed;
    bool removable = true;
    RecoverDraftDialog dialog{texts, rows, [this](std::uint64_t number) {
                                  removed.push_back(number);
                                  return removable;
                              }};
};

TEST_F(RecoverDraftDialogTest, EnterRecoversTheNewest) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_TRUE(dialog.list()->hasFocus());
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(1), "Newest");
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosen(), 7u);
    EXPECT_TRUE(removed.empty());
}

TEST_F(RecoverDraftDialogTest, DeleteRemovesTheChosenDraftOnlyWhenItWent) {
    dialog.show();
    QTest::keyClick(dialog.list(), Qt::Key_Down);
    EXPECT_EQ(dialog.chosen(), 5u);
    removable = false;
    QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 3);
    removable = true;
    QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(removed, (std::vector<std::uint64_t>{5, 5}));
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 2);
    EXPECT_TRUE(dialog.isVisible()) << "the list stays open";
    QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.list()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.chosen());
    EXPECT_FALSE(dialog.recoverButton()->isEnabled());
    EXPECT_FALSE(dialog.deleteButton()->isEnabled());
}

} // namespace
} // namespace stanzel
