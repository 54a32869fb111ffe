// Another computer writing into the collection while the window runs, the
// way sync tools do: each file written beside its target and renamed over it.
#include "mainwindow/window_fixture.h"
#include "storage/atomic_file.h"
#include "storage/draft_store.h"

#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::MainWindowTest;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr std::string_view kTwoPoems = "[1]\r\ntitle=One\r\npoet=A\r\ndate=1901\r\n"
                                       "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n";

class OutsideChangesTest : public MainWindowTest {
protected:
    void SetUp() override {
        fs::create_directories(dir / "poems");
        WriteBytes(dir / "poems.dmp", kTwoPoems);
        WriteBytes(dir / "poems" / "1.poem", "first line\r\nsecond line");
        WriteBytes(dir / "poems" / "2.poem", "second poem");
        WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=3\r\n");
        start();
    }

    // What the other computer's sync tool does with each file it brings.
    void arrive(std::string_view name, std::string_view bytes) {
        const fs::path target = dir / name;
        const fs::path temporary =
            target.parent_path() / (".syncthing." + target.filename().string() + ".tmp");
        WriteBytes(temporary, bytes);
        fs::rename(temporary, target);
    }

    // Runs the event loop until `done` holds, for at most `ms`.
    bool waitFor(const std::function<bool()>& done, int ms = 3000) {
        for (int waited = 0; waited < ms && !done(); waited += 20)
            QTest::qWait(20);
        return done();
    }

    QString message() const { return window->statusBar()->currentMessage(); }
    int selectedRow() const {
        const auto rows = list()->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    }
};

TEST_F(OutsideChangesTest, APoemAddedElsewhereIsListedWithTheSelectionKept) {
    select(1);
    ASSERT_EQ(titleEdit()->text(), "Two");
    arrive("poems/3.poem", "third poem");
    arrive("poems.dmp", std::string(kTwoPoems) + "[3]\r\ntitle=Three\r\npoet=C\r\ndate=\r\n");
    ASSERT_TRUE(waitFor([&] { return rows() == 3; }));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(titleEdit()->text(), "Two");
    EXPECT_EQ(message(), "Poems changed elsewhere: 1");
}

TEST_F(OutsideChangesTest, ATitleChangedElsewhereIsShownAndTheNextSaveKeepsIt) {
    select(0);
    arrive("poems.dmp", "[1]\r\ntitle=One, retitled\r\npoet=A\r\ndate=1901\r\n"
                        "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n");
    ASSERT_TRUE(waitFor([&] { return titleEdit()->text() == "One, retitled"; }));
    EXPECT_EQ(window->poemList().data(window->poemList().index(0, 0), Qt::DisplayRole).toString(),
              "One, retitled");
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), "!");
    actions().savePoem->trigger();
    const std::string index = ReadBytes(dir / "poems.dmp");
    EXPECT_NE(index.find("[1]\r\ntitle=One, retitled\r\n"), std::string::npos) << index;
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "first line\r\nsecond line!");
    EXPECT_TRUE(DraftStore(dir.path()).List().empty()) << "nothing was lost, so nothing is kept";
}

TEST_F(OutsideChangesTest, ANewPoemNeverTakesATextFileThatCameBeforeItsIndex) {
    arrive("poems/3.poem", "the laptop's poem");
    actions().newPoem->trigger();
    QTest::keyClicks(titleEdit(), "Mine");
    QTest::keyClicks(poemEdit(), "my poem");
    actions().savePoem->trigger();
    EXPECT_EQ(ReadBytes(dir / "poems" / "3.poem"), "the laptop's poem");
    EXPECT_EQ(ReadBytes(dir / "poems" / "4.poem"), "my poem");
    EXPECT_NE(ReadBytes(dir / "poems.dmp").find("[4]\r\ntitle=Mine\r\n"), std::string::npos);
}

TEST_F(OutsideChangesTest, TheOpenPoemUneditedFollowsItsTextWithTheCursorKept) {
    select(0);
    QTextCursor cursor = poemEdit()->textCursor();
    cursor.setPosition(5);
    poemEdit()->setTextCursor(cursor);
    arrive("poems/1.poem", "first line, longer now\r\nsecond line");
    ASSERT_TRUE(
        waitFor([&] { return poemEdit()->toPlainText().startsWith("first line, longer"); }));
    EXPECT_EQ(poemEdit()->textCursor().position(), 5);
    // Nothing was edited here: leaving the poem keeps no draft.
    select(1);
    EXPECT_TRUE(DraftStore(dir.path()).List().empty());
}

TEST_F(OutsideChangesTest, AnEditHereAndAChangeElsewhereBothSurvive) {
    select(0);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), " (mine)");
    arrive("poems/1.poem", "first line\r\nsecond line (theirs)");
    ASSERT_TRUE(waitFor([&] { return message().contains("changed elsewhere"); }));
    EXPECT_EQ(poemEdit()->toPlainText(), "first line\nsecond line (mine)");
    actions().savePoem->trigger();
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "first line\r\nsecond line (mine)");
    const auto drafts = DraftStore(dir.path()).List();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts.front().poem.id, 1);
    EXPECT_EQ(drafts.front().poem.text, "first line\r\nsecond line (theirs)");
    // Recover Draft tells it from the user's own dropped edits.
    actions().recoverDraft->trigger();
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    ASSERT_EQ(dialogs.draftLists.front().size(), 1u);
    EXPECT_EQ(dialogs.draftLists.front().front().title, "One (changed elsewhere)");
}

// Should the other version have nowhere to go (a full disk), the save is
// refused rather than replace it, and says why.
TEST_F(OutsideChangesTest, AnOtherVersionThatCannotBeKeptStopsTheSave) {
    select(0);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), " (mine)");
    arrive("poems/1.poem", "theirs");
    ASSERT_TRUE(waitFor([&] { return message().contains("changed elsewhere"); }));
    file_faults::Arm(FileStep::Create, 1, ENOSPC);
    actions().savePoem->trigger();
    file_faults::Disarm();
    ASSERT_EQ(dialogs.errors().size(), 1u);
    EXPECT_TRUE(dialogs.errors().front().contains(
        "The version of \"One\" saved elsewhere could not be kept as a draft, so nothing was "
        "saved: "))
        << dialogs.errors().front().toStdString();
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "theirs");
    EXPECT_EQ(ReadBytes(dir / "poems.dmp"), kTwoPoems);
    EXPECT_EQ(poemEdit()->toPlainText(), "first line\nsecond line (mine)");
}

TEST_F(OutsideChangesTest, APoemDeletedElsewhereWhileEditedIsStoredAgainOnlyBySave) {
    select(0);
    QTest::keyClicks(poemEdit(), "kept: ");
    arrive("poems.dmp", "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n");
    fs::remove(dir / "poems" / "1.poem");
    ASSERT_TRUE(waitFor([&] { return rows() == 1; }));
    EXPECT_EQ(titleEdit()->text(), "One");
    EXPECT_FALSE(fs::exists(dir / "poems" / "1.poem")) << "nothing is stored until Save";
    actions().savePoem->trigger();
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "kept: first line\r\nsecond line");
    EXPECT_NE(ReadBytes(dir / "poems.dmp").find("[2]\r\ntitle=Two"), std::string::npos);
}

// The other computer's text lands while the save is under way, after the
// window looked: the save looks again, and both versions survive.
TEST_F(OutsideChangesTest, ATextArrivingDuringTheSaveIsKeptAsADraft) {
    select(0);
    QTest::keyClicks(poemEdit(), "mine: ");
    file_faults::BeforeRenames([&] { arrive("poems/1.poem", "theirs"); });
    actions().savePoem->trigger();
    file_faults::BeforeRenames(nullptr);
    EXPECT_TRUE(dialogs.errors().empty());
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "mine: first line\r\nsecond line");
    const auto drafts = DraftStore(dir.path()).List();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts.front().poem.text, "theirs");
}

// Another process, writing as sync tools do, adds poems and rewrites a
// poem's text for 500 rounds while the window saves edits and new poems:
// afterwards everything either side wrote is listed with its text.
TEST_F(OutsideChangesTest, FiveHundredRoundsWithAnotherWriterLoseNothing) {
    constexpr int kRounds = 500;
    const fs::path folder = dir.path();
    const pid_t other = ::fork();
    if (other == 0) {
        for (int round = 0; round < kRounds; ++round) {
            // Counting down: the window's new poems go past the highest id,
            // and the two sides never pick the same one (which only a
            // conflict copy could settle).
            const std::string id = std::to_string(100000 - round);
            const fs::path text = folder / "poems" / (id + ".poem");
            WriteBytes(folder / "poems" / ".other.tmp", "other " + id);
            fs::rename(folder / "poems" / ".other.tmp", text);
            WriteBytes(folder / "poems" / ".other.tmp", "two, round " + std::to_string(round));
            fs::rename(folder / "poems" / ".other.tmp", folder / "poems" / "2.poem");
            // A sync tool places the index it has only when the file is
            // still the one it started from; otherwise it starts again.
            for (;;) {
                const FileIdentity before = FileIdentity::Now(folder / "poems.dmp");
                std::string index = ReadBytes(folder / "poems.dmp");
                index += "[" + id + "]\r\ntitle=Other " + id + "\r\npoet=\r\ndate=\r\n";
                WriteBytes(folder / ".other-index.tmp", index);
                if (FileIdentity::Now(folder / "poems.dmp") == before) {
                    fs::rename(folder / ".other-index.tmp", folder / "poems.dmp");
                    break;
                }
            }
            // Far more often than a sync brings the other computer's saves,
            // and still several times during each of the window's.
            ::usleep(20000);
        }
        ::_exit(0);
    }
    // Ctrl+S reaches the window's shortcut only once the window is active.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    std::map<std::int32_t, QString> mine;
    int status = 0;
    for (int round = 0; ::waitpid(other, &status, WNOHANG) == 0 || round < 20; ++round) {
        if (round % 4 == 0) {
            actions().newPoem->trigger();
            titleEdit()->setText(QStringLiteral("Mine %1").arg(round));
        }
        QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(poemEdit(), QStringLiteral("line %1 ").arg(round));
        QTest::keyClick(poemEdit(), Qt::Key_S, Qt::ControlModifier);
        mine[window->currentPoemId()] = poemEdit()->toPlainText();
        QTest::qWait(2);
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const QString& error : dialogs.errors())
        ADD_FAILURE() << error.toStdString();
    EXPECT_FALSE(mine.count(0)) << "a new poem was not saved";
    EXPECT_TRUE(
        waitFor([&] { return rows() == static_cast<int>(2 + kRounds + mine.size()); }, 10000))
        << rows();

    const std::string index = ReadBytes(dir / "poems.dmp");
    for (int round = 0; round < kRounds; ++round) {
        const std::string id = std::to_string(100000 - round);
        EXPECT_NE(index.find("[" + id + "]\r\ntitle=Other " + id), std::string::npos) << id;
        EXPECT_EQ(ReadBytes(dir / "poems" / (id + ".poem")), "other " + id);
    }
    for (const auto& [id, text] : mine) {
        EXPECT_NE(index.find("[" + std::to_string(id) + "]"), std::string::npos) << id;
        EXPECT_EQ(ReadBytes(dir / "poems" / (std::to_string(id) + ".poem")), text.toStdString());
    }
    EXPECT_EQ(ReadBytes(dir / "poems" / "2.poem"), "two, round " + std::to_string(kRounds - 1));
}

// A whole collection arriving at once is taken in as one reading of the
// index, however many files came.
TEST_F(OutsideChangesTest, ABurstOfTenThousandChangesIsOneReload) {
    constexpr int kPoems = 10000;
    QSignalSpy resets(&window->poemList(), &QAbstractItemModel::modelReset);
    const fs::path folder = dir.path();
    const pid_t other = ::fork();
    if (other == 0) {
        std::string index(kTwoPoems);
        for (int n = 0; n < kPoems; ++n) {
            const std::string id = std::to_string(10 + n);
            WriteBytes(folder / "poems" / ".burst.tmp", "poem " + id);
            fs::rename(folder / "poems" / ".burst.tmp", folder / "poems" / (id + ".poem"));
            index += "[" + id + "]\r\ntitle=Poem " + id + "\r\npoet=\r\ndate=\r\n";
        }
        WriteBytes(folder / ".burst-index.tmp", index);
        fs::rename(folder / ".burst-index.tmp", folder / "poems.dmp");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_TRUE(waitFor(
        [&] { return ::waitpid(other, &status, WNOHANG) != 0 && rows() == kPoems + 2; }, 60000));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(message(), QStringLiteral("Poems changed elsewhere: %1").arg(kPoems));
}

// Both computers saved a new poem while apart: the sync tool kept one index
// and one text under each name, and the other side's as conflict copies.
TEST_F(OutsideChangesTest, ConflictCopiesBringBackWhatOnlyTheyHold) {
    select(0);
    const std::string theirIndex =
        std::string(kTwoPoems) + "[3]\r\ntitle=Laptop's\r\npoet=L\r\ndate=\r\n";
    const std::string textCopy = "poems/3.sync-conflict-20261208-101500-LAPTOP1.poem";
    arrive("poems/3.poem", "desk's poem");
    arrive(textCopy, "laptop's poem");
    arrive("poems.sync-conflict-20261208-101500-LAPTOP1.dmp", theirIndex);
    arrive("poems.dmp", std::string(kTwoPoems) + "[3]\r\ntitle=Desk's\r\npoet=D\r\ndate=\r\n");
    ASSERT_TRUE(waitFor([&] { return rows() == 4; }));
    EXPECT_EQ(window->poemList().data(window->poemList().index(3, 0), Qt::DisplayRole).toString(),
              "Laptop's");
    EXPECT_EQ(ReadBytes(dir / "poems" / "4.poem"), "laptop's poem");
    EXPECT_EQ(ReadBytes(dir / "poems" / "3.poem"), "desk's poem");
    EXPECT_EQ(ReadBytes(dir / textCopy), "laptop's poem");
    EXPECT_EQ(ReadBytes(dir / "poems.sync-conflict-20261208-101500-LAPTOP1.dmp"), theirIndex);
    EXPECT_TRUE(message().contains("Poems brought back from a sync tool's conflict copy: 1"))
        << message().toStdString();
    EXPECT_EQ(titleEdit()->text(), "One");
    EXPECT_EQ(selectedRow(), 0) << list()->selectionModel()->selectedRows().size();

    // The next start finds nothing more to bring back.
    const std::string index = ReadBytes(dir / "poems.dmp");
    window.reset();
    start();
    ASSERT_TRUE(waitFor([&] { return rows() == 4; }));
    QTest::qWait(100);
    EXPECT_EQ(ReadBytes(dir / "poems.dmp"), index);
    EXPECT_TRUE(DraftStore(dir.path()).List().empty());
}

// A text copy found at start is kept as a draft of its poem, and said so.
TEST_F(OutsideChangesTest, ATextConflictCopyFoundAtStartBecomesADraft) {
    window.reset();
    WriteBytes(dir / "poems" / "2 (Laptop's conflicted copy 2026-12-08).poem", "the laptop's two");
    start();
    ASSERT_TRUE(waitFor([&] { return !DraftStore(dir.path()).List().empty(); }));
    const auto drafts = DraftStore(dir.path()).List();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts.front().poem.id, 2);
    EXPECT_EQ(drafts.front().poem.title, "Two");
    EXPECT_EQ(drafts.front().poem.text, "the laptop's two");
    EXPECT_TRUE(message().contains("kept as drafts: 1")) << message().toStdString();
    EXPECT_EQ(ReadBytes(dir / "poems" / "2.poem"), "second poem");
}

// The window's own saves, which bring no copy, leave the poems' names
// unread; a copy that comes after them is told by its name and taken in.
TEST_F(OutsideChangesTest, ACopyThatComesAfterTheWindowsOwnSavesIsTakenIn) {
    QTest::qWait(700); // the list whole, the folders looked through and watched
    for (const QString& text : {QStringLiteral("mine"), QStringLiteral("mine again")}) {
        select(1);
        QTest::keyClicks(poemEdit(), text);
        actions().savePoem->trigger();
        QTest::qWait(500);
    }
    EXPECT_TRUE(DraftStore(dir.path()).List().empty());
    arrive("poems/2.sync-conflict-20261209-101500-LAPTOP1.poem", "the laptop's two");
    ASSERT_TRUE(waitFor([&] { return !DraftStore(dir.path()).List().empty(); }));
    EXPECT_EQ(DraftStore(dir.path()).List().front().poem.text, "the laptop's two");
}

} // namespace
} // namespace stanzel
