// Another computer writing into the collection while the window runs, the
// way sync tools do: each file written beside its target and renamed over it.
#include "mainwindow/window_fixture.h"
#include "storage/atomic_file.h"
#include "storage/draft_store.h"

#include <QStatusBar>
#include <QTest>
#include <functional>

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
        const fs::path temporary = target.parent_path() / (".syncthing." +
                                                           target.filename().string() + ".tmp");
        WriteBytes(temporary, bytes);
        fs::rename(temporary, target);
    }

    // Runs the event loop until `done` holds, for at most three seconds.
    bool waitFor(const std::function<bool()>& done) {
        for (int waited = 0; waited < 3000 && !done(); waited += 20)
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
    ASSERT_TRUE(waitFor([&] { return poemEdit()->toPlainText().startsWith("first line, longer"); }));
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

} // namespace
} // namespace stanzel
