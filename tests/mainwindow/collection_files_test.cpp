// What the window does with the files of its collection when writing fails,
// when a file is not what it should be, and when the folder is read-only.

#include "file_faults.h"
#include "mainwindow/window_fixture.h"
#include "search/engine_editor.h"
#include "storage/draft_store.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::MainWindowTest;
using testing::ReadBytes;
using testing::ScriptedDialogs;
using testing::WriteBytes;
using testing::WritingCommand;

constexpr std::string_view kIndex = "[1]\r\ntitle=One\r\npoet=A\r\ndate=1901\r\n"
                                    "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n";
constexpr std::string_view kSettings = "[Save]\r\nlast=yesterday\r\nautoid=3\r\n";

void WriteCollection(const fs::path& dir) {
    fs::create_directories(dir / "poems");
    fs::create_directories(dir / "lang");
    WriteBytes(dir / "poems.dmp", kIndex);
    WriteBytes(dir / "poems" / "1.poem", "first");
    WriteBytes(dir / "poems" / "2.poem", "second");
    WriteBytes(dir / "settings.ini", kSettings);
    WriteBytes(dir / "search.egs", "A|http://a/\r\n");
}

// A window on a collection, kept alive by the command that drives it.
struct Session {
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    fs::path dir;

    explicit Session(const fs::path& folder) : dir(folder) {
        WriteCollection(dir);
        window = std::make_unique<MainWindow>(dir, dialogs);
        window->setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
        window->show();
    }
    void select(int row) {
        window->poemListView()->selectionModel()->select(window->poemList().index(row, 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    }
    std::string errors() const {
        std::string joined;
        for (const QString& error : dialogs.errors())
            joined += error.toStdString() + "\n";
        return joined;
    }
};

// Starts a window, prepares the command with `setUp` and runs it with `act`.
template <class SetUp, class Act>
std::function<std::string()> Drive(const fs::path& dir, SetUp setUp, Act act) {
    auto session = std::make_shared<Session>(dir);
    setUp(*session);
    return [session, act] {
        act(*session);
        return session->errors();
    };
}

void Type(Session& session, const QString& title, const QString& text) {
    session.window->titleEdit()->setText(title);
    session.window->poemEdit()->setPlainText(text);
}

const std::vector<WritingCommand>& Commands() {
    static const std::vector<WritingCommand> commands{
        {"SaveNew",
         [](const fs::path& dir) {
             return Drive(
                 dir, [](Session& s) { Type(s, "New", "new text"); },
                 [](Session& s) { s.window->actions().savePoem->trigger(); });
         },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "poems" / "3.poem"), "new text");
             EXPECT_TRUE(
                 ReadBytes(dir / "poems.dmp").ends_with("[3]\r\ntitle=New\r\npoet=\r\ndate=\r\n"));
             const std::string settings = ReadBytes(dir / "settings.ini");
             EXPECT_TRUE(settings.starts_with("[Save]\r\nlast=") &&
                         settings.ends_with("\r\nautoid=4\r\n"))
                 << settings;
         }},
        {"SaveExisting",
         [](const fs::path& dir) {
             return Drive(
                 dir,
                 [](Session& s) {
                     s.select(0);
                     Type(s, "Changed", "changed text");
                 },
                 [](Session& s) { s.window->actions().savePoem->trigger(); });
         },
         [](const fs::path& dir) {
             EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "changed text");
             EXPECT_TRUE(ReadBytes(dir / "poems.dmp").starts_with("[1]\r\ntitle=Changed\r\n"));
         }},
        {"Delete",
         [](const fs::path& dir) {
             return Drive(
                 dir,
                 [](Session& s) {
                     // Made by the first draft a collection keeps.
                     fs::create_directory(s.dir / "drafts");
                     s.select(0);
                     s.dialogs.answers.push_back(true);
                 },
                 [](Session& s) { s.window->actions().deletePoem->trigger(); });
         },
         [](const fs::path& dir) {
             EXPECT_FALSE(fs::exists(dir / "poems" / "1.poem"));
             EXPECT_EQ(ReadBytes(dir / "poems.dmp"), "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n");
             const auto kept = DraftStore(dir).List();
             ASSERT_EQ(kept.size(), 1u) << "the deleted poem, to recover";
             EXPECT_TRUE(kept[0].deleted);
             EXPECT_EQ(kept[0].poem.text, "first");
         }},
        {"Close",
         [](const fs::path& dir) {
             return Drive(
                 dir, [](Session&) {}, [](Session& s) { s.window->close(); });
         },
         [](const fs::path& dir) {
             const std::string settings = ReadBytes(dir / "settings.ini");
             EXPECT_TRUE(settings.starts_with(std::string(kSettings) + "[Language]\r\n"));
             EXPECT_NE(settings.find("[Colors]\r\n"), std::string::npos);
         }},
        {"EngineEditorOk",
         [](const fs::path& dir) {
             return Drive(
                 dir,
                 [](Session& s) {
                     s.dialogs.windowScripts.push_back([](QDialog& dialog) {
                         auto& editor = dynamic_cast<EngineEditor&>(dialog);
                         editor.textEdit()->setPlainText("B|http://b/");
                         editor.okButton()->click();
                     });
                 },
                 [](Session& s) { s.window->actions().editSearchEngines->trigger(); });
         },
         [](const fs::path& dir) { EXPECT_EQ(ReadBytes(dir / "search.egs"), "B|http://b/"); }},
    };
    return commands;
}

class WindowFaultTest : public ::testing::TestWithParam<testing::FaultRow> {};

TEST_P(WindowFaultTest, FailureChangesNothingAndSuccessWritesAll) {
    const auto [command, step] = GetParam();
    testing::RunWithEachFault(Commands()[command], step);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, WindowFaultTest, testing::EveryFaultRow(Commands().size()),
                         [](const auto& row) { return testing::FaultRowName(Commands(), row); });

// A FIFO, where a collection file should be, would block a reader forever.
class NotARegularFileTest : public MainWindowTest,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(NotARegularFileTest, WindowStartsAndShowsTheRest) {
    WriteCollection(dir.path());
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Fifo\r\n");
    const fs::path fifo = dir / GetParam();
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A watchdog for a start that would hang; it starts in milliseconds.
    ::alarm(30);
    start();
    QApplication::processEvents();
    ::alarm(0);
    EXPECT_TRUE(window->isVisible());
    if (std::string_view(GetParam()) != "poems.dmp") {
        EXPECT_EQ(rows(), 2);
    }
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO is left where it was";
}

INSTANTIATE_TEST_SUITE_P(Files, NotARegularFileTest,
                         ::testing::Values("search.egs", "settings.ini", "poems.dmp",
                                           "lang/Fifo.lng", "poems/1.poem"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST_F(MainWindowTest, CommandThatNeedsAFifoSaysItCannotOpenIt) {
    WriteCollection(dir.path());
    fs::remove(dir / "poems" / "1.poem");
    ASSERT_EQ(::mkfifo((dir / "poems" / "1.poem").c_str(), 0600), 0);
    start();
    select(0);
    ASSERT_FALSE(dialogs.errors().empty());
    EXPECT_TRUE(dialogs.errors().back().startsWith(
        QString::fromStdString("Cannot open file \"" + (dir / "poems" / "1.poem").string())));
}

// Root may write anywhere: the window works as an ordinary user meanwhile.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::geteuid() == 0) {
            asRoot_ = true;
            EXPECT_EQ(::setegid(65534), 0);
            EXPECT_EQ(::seteuid(65534), 0);
        }
    }
    ~AsOrdinaryUser() {
        if (asRoot_) {
            EXPECT_EQ(::seteuid(0), 0);
            EXPECT_EQ(::setegid(0), 0);
        }
    }

private:
    bool asRoot_ = false;
};

TEST_F(MainWindowTest, ReadOnlyCollectionIsListedAndWritesFailChangingNothing) {
    WriteCollection(dir.path());
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
    ::chmod(dir.path().c_str(), 0555);
    const auto before = testing::FolderSnapshot(dir.path());
    {
        AsOrdinaryUser user;
        start();
        EXPECT_EQ(rows(), 2);
        select(1);
        EXPECT_EQ(poemEdit()->toPlainText(), "second");
        type("Two, changed", "changed");
        actions().savePoem->trigger();
        // No draft can be kept either: New and Close ask to discard the edit.
        dialogs.answers = {true, true};
        actions().newPoem->trigger();
        type("New", "new");
        actions().savePoem->trigger();
        window->close();
    }
    EXPECT_TRUE(dialogs.answers.empty()) << "each dropped edit asked once";
    const auto errors = dialogs.errors();
    ASSERT_EQ(errors.size(), 3u);
    const QString unable = QString::fromStdString("Unable to write to " + dir.path().string());
    EXPECT_EQ(errors[0], unable + "/poems.dmp");
    EXPECT_EQ(errors[1], unable + "/poems.dmp");
    EXPECT_EQ(errors[2], unable + "/settings.ini");
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(testing::FolderSnapshot(dir.path()), before);
}

TEST_F(MainWindowTest, ReadOnlyCollectionExportsWhatChangesNothingInIt) {
    WriteCollection(dir.path());
    WriteBytes(dir / "settings.ini", std::string(kSettings) + "[Export]\r\none=1\r\n");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
    ::chmod(dir.path().c_str(), 0555);
    const auto before = testing::FolderSnapshot(dir.path());
    testing::TestDir out;
    ::chmod(out.path().c_str(), 0777);
    {
        AsOrdinaryUser user;
        start();
        select(0);
        dialogs.saveChoices = {
            UserDialogs::SaveChoice{QString::fromStdString((out / "first").string()), 1}};
        actions().exportPoem->trigger();
        EXPECT_TRUE(dialogs.errors().empty());
        window.reset();
    }
    EXPECT_TRUE(fs::exists(out / "first.txt"));
    EXPECT_EQ(testing::FolderSnapshot(dir.path()), before);
}

TEST_F(MainWindowTest, StartRemovesOnlyTheProgramsOwnLeftovers) {
    WriteCollection(dir.path());
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::vector<fs::path> leftovers = {dir / (".poems.dmp.stanzel-tmp-" + dead + "-5-0"),
                                             dir / "poems" /
                                                 (".3.poem.stanzel-tmp-" + dead + "-5-1")};
    const std::vector<fs::path> users = {dir / "notes.tmp-12345-keep.txt",
                                         dir / "poems" / "notes.tmp-12345-keep.txt",
                                         dir / ".x.stanzel-tmp-123456789012345678901234567890-1-1"};
    for (const auto& path : leftovers)
        WriteBytes(path, "half");
    for (const auto& path : users)
        WriteBytes(path, "mine");
    start();
    // The folder is tidied beside the window once it is on the screen, at
    // the latest by its closing.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();
    window.reset();
    for (const auto& path : leftovers)
        EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& path : users)
        EXPECT_EQ(ReadBytes(path), "mine") << path;
}

} // namespace
} // namespace stanzel

namespace stanzel {
namespace {

// Another computer's sync renames a new index in while the window runs: the
// row selected next shows the title as it stands now, and a save of that
// poem keeps the other computer's poems.
TEST_F(MainWindowTest, ARowShowsTheIndexAsItStandsNow) {
    WriteCollection(dir.path());
    start();
    WriteBytes(dir / ".sync-tmp", "[1]\r\ntitle=One, retitled\r\npoet=A\r\ndate=1901\r\n"
                                  "[2]\r\ntitle=Two\r\npoet=B\r\ndate=1902\r\n"
                                  "[5]\r\ntitle=Five\r\npoet=\r\ndate=\r\n");
    fs::rename(dir / ".sync-tmp", dir / "poems.dmp");
    select(0);
    EXPECT_EQ(titleEdit()->text(), "One, retitled");
    EXPECT_EQ(rows(), 3);
    QTest::keyClick(poemEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(poemEdit(), " and more");
    actions().savePoem->trigger();
    const std::string index = ReadBytes(dir / "poems.dmp");
    EXPECT_NE(index.find("title=One, retitled"), std::string::npos) << index;
    EXPECT_NE(index.find("[5]\r\ntitle=Five"), std::string::npos) << index;
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "first and more");
}

// The collection folder moved while the window runs: Save goes to the
// folder where it is now, and nothing is made where it was.
TEST_F(MainWindowTest, SaveAfterTheFolderMovedLandsInTheMovedFolder) {
    const fs::path notebook = dir / "notebook";
    WriteCollection(notebook);
    window = std::make_unique<MainWindow>(notebook, dialogs);
    window->show();
    fs::rename(notebook, dir / "moved");
    QTest::keyClicks(titleEdit(), "Three");
    QTest::keyClicks(poemEdit(), "third");
    actions().savePoem->trigger();
    EXPECT_TRUE(dialogs.errors().empty());
    EXPECT_FALSE(fs::exists(notebook));
    EXPECT_EQ(ReadBytes(dir / "moved" / "poems" / "3.poem"), "third");
    EXPECT_NE(ReadBytes(dir / "moved" / "poems.dmp").find("title=Three"), std::string::npos);
    EXPECT_NE(ReadBytes(dir / "moved" / "settings.ini").find("autoid=4"), std::string::npos);
}

} // namespace
} // namespace stanzel
