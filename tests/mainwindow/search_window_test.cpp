#include "mainwindow/window_fixture.h"
#include "search/engine_editor.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <csignal>
#include <sys/resource.h>

namespace stanzel {
namespace {

using testing::MainWindowTest;
using testing::WriteBytes;
using Icon = UserDialogs::Icon;

class SearchWindowTest : public MainWindowTest {
protected:
    QMenu* engineMenu() const { return window->menus().engines; }
    QStringList menuCaptions() const {
        QStringList captions;
        for (QAction* action : engineMenu()->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return captions;
    }
    int checkedPosition() const {
        const auto actions = engineMenu()->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (actions[i]->isChecked())
                return i;
        return -1;
    }
    QString search(const QString& query) {
        dialogs.opened.clear();
        searchEdit()->setText(query);
        actions().searchOnline->trigger();
        return dialogs.opened.empty() ? QString()
                                      : QString::fromUtf8(dialogs.opened.back().toEncoded());
    }
    static EngineEditor& Editor(QDialog& dialog) { return dynamic_cast<EngineEditor&>(dialog); }
    static void Type(QDialog& editor, const QString& text) {
        Editor(editor).textEdit()->setPlainText(text);
    }
    static void Ok(QDialog& editor) { Editor(editor).okButton()->click(); }
    static void Cancel(QDialog& editor) { Editor(editor).cancelButton()->click(); }
};

TEST_F(SearchWindowTest, MenuFromTheFileAndTheStoredChoice) {
    WriteBytes(dir / "search.egs",
               "Web|www.example.org/?q=\r\n\r\nWeb Images|https://img.example.org/"
               "?q=\r\nnote\r\nA&B|http://ab.example/\r\n");
    WriteBytes(dir / "settings.ini", "[Search]\r\nselected=2\r\n");
    start();
    EXPECT_EQ(menuCaptions(), QStringList({"Web", "-", "Web Images", "A&&B"}));
    EXPECT_EQ(checkedPosition(), 2);
    EXPECT_EQ(search("red rose"), "https://img.example.org/?q=red%20rose");

    engineMenu()->actions()[0]->trigger(); // Web uses its own line
    EXPECT_EQ(checkedPosition(), 0);
    EXPECT_EQ(search("rose"), "http://www.example.org/?q=rose");
    engineMenu()->actions()[3]->trigger();
    EXPECT_EQ(search("rose"), "http://ab.example/rose");

    window->close();
    EXPECT_NE(file("settings.ini").find("[Search]\r\nselected=3\r\n"), std::string::npos);
}

TEST_F(SearchWindowTest, StoredChoiceOnASeparatorOrOutOfRange) {
    WriteBytes(dir / "search.egs", "A|http://a/\r\n\r\nB|http://b/");
    WriteBytes(dir / "settings.ini", "[Search]\r\nselected=1\r\n");
    start();
    EXPECT_EQ(checkedPosition(), -1);  // a separator shows no mark
    EXPECT_EQ(search("x"), QString()); // and chooses no engine
    window->close();
    EXPECT_NE(file("settings.ini").find("selected=1\r\n"), std::string::npos);

    WriteBytes(dir / "settings.ini", "[Search]\r\nselected=7\r\n");
    start();
    EXPECT_EQ(checkedPosition(), -1);
    EXPECT_EQ(search("x"), QString());
}

TEST_F(SearchWindowTest, FirstStartChoosesTheFirstEngine) {
    WriteBytes(dir / "search.egs", "A|http://a/?q=\r\n");
    start();
    EXPECT_EQ(checkedPosition(), 0);
    EXPECT_EQ(search("Ady Endre"), "http://a/?q=Ady%20Endre");
    EXPECT_EQ(search(""), QString());
}

TEST_F(SearchWindowTest, EnterAndThePoetButtonSearch) {
    WriteBytes(dir / "search.egs", "A|http://a/?q=\r\n");
    start();
    poetEdit()->setText(QStringLiteral("Petőfi Sándor"));
    window->poetSearchButton()->click();
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(searchEdit()->text(), QStringLiteral("Petőfi Sándor"));
    EXPECT_EQ(dialogs.opened[0].host(), "a");
    EXPECT_EQ(dialogs.opened[0].query(QUrl::FullyDecoded), QStringLiteral("q=Petőfi Sándor"));

    searchEdit()->setText("typed");
    emit searchEdit()->returnPressed();
    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[1].toEncoded(), "http://a/?q=typed");
}

TEST_F(SearchWindowTest, NoEngineOpensNothing) {
    start();
    EXPECT_TRUE(engineMenu()->actions().isEmpty());
    EXPECT_EQ(search("/etc/passwd"), QString());
}

TEST_F(SearchWindowTest, EditorOkRewritesTheFileAndRebuildsTheMenu) {
    WriteBytes(dir / "search.egs", "A|http://a/\nB|http://b/\n");
    start();
    ASSERT_EQ(checkedPosition(), 0);
    dialogs.windowScripts.push_back([](QDialog& editor) {
        EXPECT_EQ(editor.windowTitle(), "Search Engine Editor");
        EXPECT_EQ(Editor(editor).textEdit()->toPlainText(),
                  "A|http://a/\nB|http://b/\n");
        Type(editor, "C|https://c/\n\nA|http://a/");
        Ok(editor);
    });
    actions().editSearchEngines->trigger();
    EXPECT_EQ(file("search.egs"), "C|https://c/\r\n\r\nA|http://a/");
    EXPECT_EQ(menuCaptions(), QStringList({"C", "-", "A"}));
    EXPECT_EQ(checkedPosition(), -1);
    EXPECT_EQ(search("x"), QString()); // no engine until the user picks one
    engineMenu()->actions()[0]->trigger();
    EXPECT_EQ(search("x"), "https://c/x");
}

TEST_F(SearchWindowTest, EditorCancelAndTitleBarChangeNothing) {
    WriteBytes(dir / "search.egs", "A|http://a/\n");
    start();
    dialogs.windowScripts.push_back([](QDialog& editor) {
        Type(editor, "changed|http://x/");
        Cancel(editor);
    });
    actions().editSearchEngines->trigger();
    dialogs.windowScripts.push_back([](QDialog& editor) {
        Type(editor, "changed|http://x/");
        editor.close();
    });
    actions().editSearchEngines->trigger();
    EXPECT_EQ(file("search.egs"), "A|http://a/\n");
    EXPECT_EQ(menuCaptions(), QStringList({"A"}));
    EXPECT_EQ(checkedPosition(), 0);
    EXPECT_EQ(search("x"), "http://a/x");
}

TEST_F(SearchWindowTest, EditorCreatesAMissingFile) {
    start();
    actions().editSearchEngines->trigger(); // closed by its title bar
    EXPECT_TRUE(exists("search.egs"));
    EXPECT_EQ(file("search.egs"), "");
}

TEST_F(SearchWindowTest, EditorThatCannotSaveStaysOpen) {
    WriteBytes(dir / "search.egs", "A|http://a/\r\n");
    start();
    bool stillOpen = false;
    dialogs.windowScripts.push_back([&](QDialog& editor) {
        Type(editor, "B|http://b/");
        // A file-size limit of nothing makes the write fail, as a full disk
        // does, even for root.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit none = old;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
        Ok(editor);
        ::setrlimit(RLIMIT_FSIZE, &old);
        stillOpen = editor.isVisible();
    });
    actions().editSearchEngines->trigger();
    EXPECT_TRUE(stillOpen);
    ASSERT_FALSE(dialogs.errors().empty());
    EXPECT_TRUE(dialogs.errors().back().startsWith("Cannot create file"));
    EXPECT_EQ(file("search.egs"), "A|http://a/\r\n");
    EXPECT_EQ(menuCaptions(), QStringList({"A"})); // closing it afterwards confirms nothing
}

TEST_F(SearchWindowTest, TitleSearchSelectsTheFirstMatch) {
    WriteBytes(dir / "poems.dmp",
               "[1]\r\ntitle=Rose\r\n[2]\r\ntitle=Red Rose\r\n[3]\r\ntitle=rose\r\n");
    start();
    dialogs.inputs = {QString("Rose"), QString("Rose"), QString("rose"), QString("ROSE"),
                      std::nullopt};
    actions().searchTitle->trigger();
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_EQ(window->currentPoemId(), 1);
    actions().searchTitle->trigger();
    EXPECT_EQ(window->selectedRow(), 0);
    actions().searchTitle->trigger();
    EXPECT_EQ(window->selectedRow(), 2);
    EXPECT_EQ(titleEdit()->text(), "rose");

    dialogs.shown.clear();
    actions().searchTitle->trigger();
    ASSERT_EQ(dialogs.shown.size(), 2u); // the prompt, then the message
    EXPECT_EQ(dialogs.shown[0].title, "Searching...");
    EXPECT_EQ(dialogs.shown[0].text, "Search string in poems title:");
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Information);
    EXPECT_EQ(dialogs.shown[1].text, "Sorry, not found \"ROSE\" string in poems title.");
    EXPECT_EQ(window->selectedRow(), 2);

    dialogs.shown.clear();
    actions().searchTitle->trigger(); // cancelled
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(SearchWindowTest, TitleSearchOnAnEmptyListAsksNothing) {
    start();
    actions().searchTitle->trigger();
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
} // namespace stanzel
