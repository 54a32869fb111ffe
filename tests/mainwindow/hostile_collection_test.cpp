// Collections received from someone else or carried over from older systems:
// links that lead out of the folder, fields longer than Qt's boxes allow by
// default, lines no editor lays out in time, files no poem is.
#include "file_faults.h"
#include "mainwindow/window_fixture.h"
#include "storage/draft_store.h"
#include "storage/text_lines.h"

#include <QTest>
#include <sys/resource.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::MainWindowTest;
using testing::ReadBytes;
using testing::WriteBytes;
using SaveChoice = UserDialogs::SaveChoice;

class HostileCollectionTest : public MainWindowTest {
protected:
    void SetUp() override {
        fs::create_directories(outside / "drafts");
        WriteBytes(outside / "secret.txt", "not a poem\r\n");
        WriteBytes(outside / "drafts" / "1.draft", "[draft]\r\nsomeone else's\r\n");
        fs::create_directories(dir / "poems");
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Mine\r\npoet=P\r\ndate=D\r\n"
                                      "[2]\r\ntitle=Linked\r\npoet=Q\r\ndate=E\r\n");
        WriteBytes(dir / "poems" / "1.poem", "my own text");
        WriteBytes(dir / "poems" / "2.poem", "second text");
        before = testing::FolderSnapshot(outside);
    }
    void TearDown() override {
        window.reset(); // its last tidying too
        EXPECT_EQ(testing::FolderSnapshot(outside), before)
            << "a file outside the collection changed";
    }

    // The window as the user has it: active, so that its shortcuts work.
    void open() {
        start();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    static void Link(const fs::path& target, const fs::path& link) {
        fs::remove_all(link);
        fs::create_symlink(target, link);
    }
    void clickRow(int row) {
        const QRect cell = list()->visualRect(window->poemList().index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void pressSave() { QTest::keyClick(poemEdit(), Qt::Key_S, Qt::ControlModifier); }
    void exportAll() {
        dialogs.saveChoices = {SaveChoice{QString::fromStdString((dir / "all").string()), 1}};
        // In a text box Ctrl+A selects its text; in the list it is Export all.
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    }
    std::string lastError() const {
        const auto errors = dialogs.errors();
        return errors.empty() ? std::string() : errors.back().toStdString();
    }

    testing::TestDir elsewhere;
    fs::path outside = elsewhere.path();
    std::map<std::string, std::string> before;
};

// ---- links lead nowhere outside -------------------------------------------

TEST_F(HostileCollectionTest, APoemThatIsALinkIsNeitherShownNorSavedOver) {
    Link(outside / "secret.txt", dir / "poems" / "2.poem");
    open();
    clickRow(1);
    EXPECT_NE(lastError().find("Cannot open file"), std::string::npos) << lastError();
    EXPECT_NE(lastError().find("Not a regular file"), std::string::npos) << lastError();
    EXPECT_EQ(poemEdit()->toPlainText(), "");
    EXPECT_EQ(window->currentPoemId(), 0);
    // What is typed now is a new poem, never the linked one.
    titleEdit()->setFocus();
    QTest::keyClicks(titleEdit(), "Typed");
    QTest::keyClicks(poemEdit(), "typed text");
    pressSave();
    EXPECT_EQ(window->currentPoemId(), 3);
    EXPECT_EQ(file("poems/3.poem"), "typed text");
    EXPECT_TRUE(fs::is_symlink(dir / "poems" / "2.poem"));
}

TEST_F(HostileCollectionTest, ExportAllCopiesNothingALinkNames) {
    Link(outside / "secret.txt", dir / "poems" / "2.poem");
    open();
    exportAll();
    EXPECT_NE(lastError().find("Not a regular file"), std::string::npos) << lastError();
    EXPECT_FALSE(exists("all.txt"));
}

TEST_F(HostileCollectionTest, APoemsFolderThatIsALinkIsNeitherReadNorWritten) {
    fs::remove_all(dir / "poems");
    fs::create_directory(outside / "poems");
    WriteBytes(outside / "poems" / "1.poem", "theirs");
    WriteBytes(outside / "poems" / ".1.poem.stanzel-tmp-999999999-1-1", "a stale name");
    before = testing::FolderSnapshot(outside);
    Link(outside / "poems", dir / "poems");
    open();
    clickRow(0);
    EXPECT_NE(lastError().find("Not a regular file"), std::string::npos) << lastError();
    EXPECT_EQ(poemEdit()->toPlainText(), "");
    QTest::keyClicks(titleEdit(), "Typed");
    QTest::keyClicks(poemEdit(), "typed text");
    const std::size_t errors = dialogs.errors().size();
    pressSave();
    EXPECT_EQ(dialogs.errors().size(), errors + 1) << "the save is refused";
    EXPECT_EQ(file("poems.dmp").find("Typed"), std::string::npos);
}

TEST_F(HostileCollectionTest, ADraftsFolderThatIsALinkTakesNoDraft) {
    Link(outside / "drafts", dir / "drafts");
    open();
    clickRow(0);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), "!");
    dialogs.answers = {true};
    QTest::keyClick(poemEdit(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().text,
              "The changes to \"Mine\" could not be kept as a draft: Not a regular file. "
              "Discard them?");
    EXPECT_EQ(poemEdit()->toPlainText(), "");
    // Recover Draft lists none of what the link leads to.
    QTest::keyClick(poemEdit(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(dialogs.draftLists.empty());
}

TEST_F(HostileCollectionTest, TheEngineEditorMakesNothingWhereADanglingLinkPoints) {
    Link(outside / "search.egs", dir / "search.egs");
    open();
    dialogs.windowScripts.push_back([](QDialog& editor) { editor.reject(); });
    actions().editSearchEngines->trigger();
    EXPECT_TRUE(dialogs.errors().empty()) << lastError();
    EXPECT_FALSE(fs::exists(outside / "search.egs"));
    EXPECT_TRUE(fs::is_symlink(dir / "search.egs"));
}

// ---- fields keep every character ------------------------------------------

TEST_F(HostileCollectionTest, LongFieldsSurviveASaveOfTheText) {
    const std::string title(40000, 't'), poet(33000, 'p'), date(32768, 'd');
    WriteBytes(dir / "poems.dmp",
               "[1]\r\ntitle=" + title + "\r\npoet=" + poet + "\r\ndate=" + date + "\r\n");
    open();
    clickRow(0);
    EXPECT_EQ(titleEdit()->text().size(), 40000);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), "!");
    pressSave();
    EXPECT_EQ(file("poems.dmp"),
              "[1]\r\ntitle=" + title + "\r\npoet=" + poet + "\r\ndate=" + date + "\r\n");
    EXPECT_EQ(file("poems/1.poem"), "my own text!");
    // A box takes a character past Qt's default limit as well.
    titleEdit()->setFocus();
    QTest::keyClick(titleEdit(), Qt::Key_End);
    QTest::keyClicks(titleEdit(), "x");
    EXPECT_EQ(titleEdit()->text().size(), 40001);
    for (QLineEdit* box : {titleEdit(), poetEdit(), dateEdit(), searchEdit()})
        EXPECT_GT(box->maxLength(), 1 << 30);
}

// ---- a poem the editor cannot show at once --------------------------------

TEST_F(HostileCollectionTest, APoemOfOneHugeLineIsRefusedAndLeftAsItIs) {
    const std::string huge = "first\r\n" + std::string(kLongestPoemLine + 50000, 'a');
    WriteBytes(dir / "poems" / "2.poem", huge);
    open();
    clickRow(1);
    EXPECT_NE(lastError().find("line 2 holds 150000 characters"), std::string::npos) << lastError();
    EXPECT_EQ(poemEdit()->toPlainText(), "");
    EXPECT_EQ(window->currentPoemId(), 0);
    exportAll();
    EXPECT_NE(lastError().find("line 2 holds 150000 characters"), std::string::npos) << lastError();
    EXPECT_FALSE(exists("all.txt"));
    // Nor is a huge line typed or pasted ever stored.
    type("Pasted", QString(static_cast<int>(kLongestPoemLine) + 1, 'b'));
    pressSave();
    EXPECT_NE(lastError().find("100001 characters"), std::string::npos) << lastError();
    EXPECT_EQ(file("poems.dmp").find("Pasted"), std::string::npos);
    EXPECT_EQ(file("poems/2.poem"), huge);
}

TEST_F(HostileCollectionTest, ExportAllRefusesAPoemFileTooLargeWithoutReadingIt) {
    // Sparse: 300 MB that take no room on the disk.
    WriteBytes(dir / "poems" / "2.poem", "");
    fs::resize_file(dir / "poems" / "2.poem", 300u << 20);
    open();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    exportAll();
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 64 * 1024) << "kilobytes more at the peak";
    EXPECT_NE(lastError().find("It holds 314572800 bytes; a poem's text may hold 67108864."),
              std::string::npos)
        << lastError();
    EXPECT_FALSE(exists("all.txt"));
    EXPECT_EQ(fs::file_size(dir / "poems" / "2.poem"), 300u << 20);
}

// ---- draft numbers never wrap ---------------------------------------------

TEST_F(HostileCollectionTest, ADraftNamedPastTheLargestNumberIsIgnored) {
    fs::create_directory(dir / "drafts");
    DraftStore(dir.path()).Keep(PoemRecord{2, "kept before", "", "", "x"}, "2026-12-01 10:00:00");
    WriteBytes(dir / "drafts" / "18446744073709551615.draft", file("drafts/1.draft"));
    open();
    clickRow(0);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), "!");
    QTest::keyClick(poemEdit(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(exists("drafts/2.draft"));
    EXPECT_FALSE(exists("drafts/0.draft"));
    dialogs.draftAnswers = {};
    QTest::keyClick(poemEdit(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    ASSERT_EQ(dialogs.draftLists[0].size(), 2u);
    EXPECT_EQ(dialogs.draftLists[0][0].number, 2u) << "the newest first";
    EXPECT_EQ(dialogs.draftLists[0][0].title, "Mine");
    EXPECT_EQ(dialogs.draftLists[0][1].number, 1u);
    EXPECT_TRUE(exists("drafts/18446744073709551615.draft"));
}

} // namespace
} // namespace stanzel
