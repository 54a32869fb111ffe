#include "mainwindow/window_fixture.h"

#include <QApplication>
#include <QTest>
#include <QToolBar>
#include <map>

namespace stanzel {
namespace {

using testing::Caption;
using testing::MainWindowTest;
using testing::WriteBytes;
using Icon = UserDialogs::Icon;

// Every button, the online-search box and its button fit the window's
// starting width: none is hidden behind the toolbar's overflow arrow.
TEST_F(MainWindowTest, WholeToolbarFitsTheStartingWidth) {
    start();
    QApplication::processEvents();
    for (QAction* action : window->toolBar()->actions()) {
        if (action->isSeparator())
            continue;
        const QWidget* widget = window->toolBar()->widgetForAction(action);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->isVisible()) << action->text().toStdString();
    }
}

TEST_F(MainWindowTest, FirstSaveStoresThePoemAndTheCounter) {
    start();
    EXPECT_EQ(status(), "Last saved: -");
    type("Rain", "The rain\nis falling", "Ady", "1906");
    actions().savePoem->trigger();

    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=Rain\r\npoet=Ady\r\ndate=1906\r\n");
    EXPECT_EQ(file("poems/1.poem"), "The rain\r\nis falling");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
    EXPECT_EQ(dialogs.shown[0].title, "Save");
    EXPECT_EQ(dialogs.shown[0].text, "Poems \"Rain\" saved.");

    const std::string settings = file("settings.ini");
    ASSERT_TRUE(settings.starts_with("[Save]\r\nlast=")) << settings;
    const std::string stamp = settings.substr(13, settings.find("\r\n", 13) - 13);
    EXPECT_NE(stamp.find("05:09"), std::string::npos) << stamp;
    EXPECT_EQ(settings, "[Save]\r\nlast=" + stamp + "\r\nautoid=2\r\n");
    EXPECT_EQ(status(), QString::fromStdString("Last saved: " + stamp));

    // The editor keeps the poem, its row is highlighted, and saving again
    // rewrites the same poem.
    EXPECT_EQ(window->currentPoemId(), 1);
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_TRUE(list()->selectionModel()->isRowSelected(0));
    EXPECT_EQ(titleEdit()->text(), "Rain");
    poemEdit()->setPlainText("Dry now\n");
    actions().savePoem->trigger();
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=Rain\r\npoet=Ady\r\ndate=1906\r\n");
    EXPECT_EQ(file("poems/1.poem"), "Dry now\r\n");
    EXPECT_EQ(rows(), 1);
}

TEST_F(MainWindowTest, SaveWithoutTitleOrTextDoesNothing) {
    start();
    type("", "text");
    actions().savePoem->trigger();
    type("Title", "");
    actions().savePoem->trigger();
    EXPECT_FALSE(exists("poems.dmp"));
    EXPECT_FALSE(exists("settings.ini"));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowTest, SelectingLoadsThePoemAndDiscardsEdits) {
    WriteBytes(dir / "poems.dmp", "[4]\r\ntitle=Four\r\npoet=P\r\ndate=D\r\n[9]\r\ntitle=Nine\r\n");
    std::filesystem::create_directory(dir / "poems");
    WriteBytes(dir / "poems" / "4.poem", "one\r\ntwo\n");
    start();
    ASSERT_EQ(rows(), 2);
    select(0);
    EXPECT_EQ(window->currentPoemId(), 4);
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_EQ(titleEdit()->text(), "Four");
    EXPECT_EQ(searchEdit()->text(), "Four");
    EXPECT_EQ(poetEdit()->text(), "P");
    EXPECT_EQ(dateEdit()->text(), "D");
    EXPECT_EQ(poemEdit()->toPlainText(), "one\ntwo\n");

    poemEdit()->setPlainText("edited but never saved");
    select(1);
    select(0);
    EXPECT_EQ(poemEdit()->toPlainText(), "one\ntwo\n");
    EXPECT_EQ(file("poems/4.poem"), "one\r\ntwo\n");
}

TEST_F(MainWindowTest, NewPoemGoesLastAndHighlightsNothingUntilSaved) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n");
    WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=2\r\n");
    start();
    select(0);
    actions().newPoem->trigger();
    EXPECT_EQ(window->currentPoemId(), 0);
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_FALSE(list()->selectionModel()->hasSelection());
    EXPECT_EQ(titleEdit()->text(), "");
    type("Two", "second");
    actions().savePoem->trigger();
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->poemList().poem(1).title, "Two");
    EXPECT_EQ(window->selectedRow(), 1);
    EXPECT_EQ(file("poems.dmp"),
              "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n[2]\r\ntitle=Two\r\npoet=\r\ndate=\r\n");
}

// After New or an import no row is highlighted; a click on the old row brings
// its poem back (and Delete works again), while a click on the row whose poem
// is in the editor keeps the user's edits.
TEST_F(MainWindowTest, ClickingTheSelectedRowLoadsItsPoemAgain) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=P\r\n[2]\r\ntitle=Two\r\n");
    std::filesystem::create_directory(dir / "poems");
    WriteBytes(dir / "poems" / "1.poem", "first");
    WriteBytes(dir / "my.txt", "imported");
    start();
    const auto click = [this](int row) {
        const QRect cell = list()->visualRect(window->poemList().index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    };
    click(0);
    ASSERT_EQ(window->currentPoemId(), 1);
    poemEdit()->setPlainText("edited");
    click(0);
    EXPECT_EQ(poemEdit()->toPlainText(), "edited");

    actions().newPoem->trigger();
    ASSERT_EQ(window->selectedRow(), -1);
    click(0);
    EXPECT_EQ(window->currentPoemId(), 1);
    EXPECT_EQ(titleEdit()->text(), "One");
    EXPECT_EQ(poetEdit()->text(), "P");
    EXPECT_EQ(poemEdit()->toPlainText(), "first");

    dialogs.answers = {true};
    window->importDroppedFiles({dir / "my.txt"});
    ASSERT_EQ(poemEdit()->toPlainText(), "imported");
    click(0);
    EXPECT_EQ(window->currentPoemId(), 1);
    EXPECT_EQ(poemEdit()->toPlainText(), "first");

    actions().newPoem->trigger();
    click(0);
    dialogs.shown.clear();
    dialogs.answers = {false};
    actions().deletePoem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure to delete \"One\" poem?");
}

// The boxes are narrow; a long title shows its beginning after a selection.
TEST_F(MainWindowTest, SelectedTitleShowsItsBeginning) {
    const std::string title(300, 'w');
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=" + title + "\r\n");
    start();
    select(0);
    EXPECT_EQ(titleEdit()->cursorPosition(), 0);
    EXPECT_EQ(searchEdit()->cursorPosition(), 0);
    EXPECT_EQ(titleEdit()->text().size(), 300);
}

// A list longer than the window shows at once fills while the window is
// open; commands given meanwhile act on the whole collection and the list
// ends up as the index stands.
class LongListTest : public MainWindowTest {
protected:
    static constexpr int kPoems = 30000;
    void SetUp() override {
        std::string index;
        for (int id = 1; id <= kPoems; ++id)
            index += "[" + std::to_string(id) + "]\r\ntitle=Poem " + std::to_string(id) +
                     "\r\npoet=\r\ndate=\r\n";
        WriteBytes(dir / "poems.dmp", index);
        start();
    }
    // Lets the event loop run until the list stops growing.
    void waitForTheList() {
        for (int quiet = 0; quiet < 8;) {
            const int before = rows();
            QTest::qWait(20);
            quiet = rows() == before ? quiet + 1 : 0;
        }
    }
    std::string lastTitle() const { return std::string(window->poemList().poem(rows() - 1).title); }
};

TEST_F(LongListTest, FillsWithEveryPoemInOrder) {
    EXPECT_GT(rows(), 0);
    waitForTheList();
    ASSERT_EQ(rows(), kPoems);
    EXPECT_EQ(lastTitle(), "Poem 30000");
    EXPECT_EQ(window->poemList().poem(12345).id, "12346");
}

TEST_F(LongListTest, SaveMeanwhileListsTheIndexAsSaved) {
    type("Newest", "new");
    actions().savePoem->trigger();
    waitForTheList();
    EXPECT_EQ(rows(), kPoems + 1);
    EXPECT_EQ(lastTitle(), "Newest");
}

TEST_F(LongListTest, DeleteMeanwhileLeavesTheRestInOrder) {
    select(0);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    waitForTheList();
    ASSERT_EQ(rows(), kPoems - 1);
    EXPECT_EQ(window->poemList().poem(0).id, "2");
    EXPECT_EQ(lastTitle(), "Poem 30000");
}

TEST_F(LongListTest, TitleSearchMeanwhileFindsThePoemsAtTheEnd) {
    dialogs.inputs = {QString("Poem 29999")};
    actions().searchTitle->trigger();
    EXPECT_EQ(list()->currentIndex().row(), kPoems - 2);
    EXPECT_EQ(window->selectedRow(), kPoems - 2);
}

TEST_F(MainWindowTest, DeleteAsksWithTheEditedTitleAndRemovesThePoem) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n[2]\r\ntitle=Two\r\n[3]\r\ntitle=Three\r\n");
    std::filesystem::create_directory(dir / "poems");
    WriteBytes(dir / "poems" / "2.poem", "two");
    WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=4\r\n");
    start();

    actions().deletePoem->trigger(); // no row selected
    EXPECT_TRUE(dialogs.shown.empty());

    select(1);
    titleEdit()->setText("Two, renamed");
    dialogs.answers = {false};
    actions().deletePoem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Confirmation");
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure to delete \"Two, renamed\" poem?");
    EXPECT_EQ(rows(), 3);

    dialogs.answers = {true};
    actions().deletePoem->trigger();
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\n[3]\r\ntitle=Three\r\n");
    EXPECT_FALSE(exists("poems/2.poem"));
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->poemList().poem(1).id, "3");
    EXPECT_EQ(window->currentPoemId(), 0);
    EXPECT_EQ(window->selectedRow(), -1);
    EXPECT_EQ(titleEdit()->text(), "");
    EXPECT_EQ(poemEdit()->toPlainText(), "");

    // The editor now holds a new poem.
    type("Four", "four");
    actions().savePoem->trigger();
    EXPECT_EQ(window->currentPoemId(), 4);
}

TEST_F(MainWindowTest, DeleteActsOnlyOnThePoemInTheEditor) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n[x]\r\ntitle=Odd\r\n");
    start();
    select(0);
    actions().newPoem->trigger(); // row 0 stays selected, nothing of it loaded
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    EXPECT_TRUE(dialogs.shown.empty());

    list()->selectionModel()->clear();
    select(0);
    select(1); // a section name that is not a number
    ASSERT_EQ(dialogs.errors().size(), 1u);
    EXPECT_EQ(dialogs.errors()[0], "'x' is not a valid integer value");
    EXPECT_EQ(window->currentPoemId(), 0);
    EXPECT_EQ(titleEdit()->text(), "Odd");
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\n[x]\r\ntitle=Odd\r\n");

    // What the editor shows is saved as a new poem, never over poem 1.
    poemEdit()->setPlainText("text");
    actions().savePoem->trigger();
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\n[x]\r\ntitle=Odd\r\n"
                                 "[2]\r\ntitle=Odd\r\npoet=\r\ndate=\r\n");
}

TEST_F(MainWindowTest, ClosingWritesLanguageSearchAndColoursWithoutAsking) {
    start();
    type("Unsaved", "edits");
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(dialogs.shown.empty());
    // The window's place follows; another test looks at it.
    EXPECT_TRUE(
        file("settings.ini")
            .starts_with("[Language]\r\ncurrent=English\r\nid=0\r\n[Search]\r\nselected=0\r\n"
                         "[Colors]\r\npoemt=$00E2F8FC\r\npoet=$00E2F8FC\r\ndate=$00E2F8FC\r\n"
                         "poem=$00E2F8FC\r\nlist=$00E2F8FC\r\nsearch=$00CBF2FA\r\nl1=$00CBF2FA\r\n"
                         "l2=$00E2F8FC\r\n[Window]\r\nmaximized=0\r\nleft="))
        << file("settings.ini");
    EXPECT_FALSE(exists("poems.dmp"));
}

TEST_F(MainWindowTest, LanguageFileSuppliesCaptionsAndTemplates) {
    std::filesystem::create_directory(dir / "lang");
    WriteBytes(dir / "lang" / "Test.lng",
               "[language]\r\nnew=Neu\r\nsave=Sichern\r\nsavemsg=Gedicht %s gesichert\r\n"
               "lastsave=Zuletzt gesichert:\r\nnet=Im Netz\r\n");
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Test\r\n[Save]\r\nlast=yesterday\r\n");
    start();
    EXPECT_EQ(window->currentLanguage(), "Test");
    EXPECT_EQ(Caption(actions().newPoem), "Neu");
    EXPECT_EQ(actions().newPoem->toolTip(), "Neu");
    EXPECT_EQ(Caption(actions().searchOnline), "Im Netz");
    EXPECT_EQ(Caption(actions().chooseSearchColour), "Search Online"); // a key of its own
    EXPECT_EQ(Caption(actions().deletePoem), "Delete");
    EXPECT_EQ(status(), "Zuletzt gesichert: yesterday");

    type("Regen", "text");
    actions().savePoem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Sichern");
    EXPECT_EQ(dialogs.shown[0].text, "Gedicht Regen gesichert");

    // Back to English: the time of the last save stays under the new label.
    const QString time = status().mid(QString("Zuletzt gesichert: ").size());
    window->applyLanguage("English");
    EXPECT_EQ(status(), "Last saved: " + time);
    EXPECT_EQ(Caption(actions().newPoem), "New");
}

TEST_F(MainWindowTest, HelpCommandsOpenAddressesThroughTheDesktop) {
    start();
    actions().openHomePage->trigger();
    actions().writeEmail->trigger();
    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[0].scheme(), "https");
    EXPECT_EQ(dialogs.opened[1].scheme(), "mailto");
    EXPECT_EQ(dialogs.opened[1].query(QUrl::FullyDecoded), "subject=Stanzel v0.1 Beta");
    actions().about->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "About");
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(" Stanzel v0.1 Beta\n\n"));
    EXPECT_TRUE(dialogs.shown[0].text.endsWith(QString::fromStdString(dir.path().string())))
        << "the About box names the collection's folder";
}

TEST_F(MainWindowTest, ErrorsAreShownAndTheProgramGoesOn) {
    start();
    // An index that cannot be replaced: its place is taken by a directory.
    std::filesystem::create_directories(dir / "poems.dmp" / "in-the-way");
    type("Rain", "text");
    actions().savePoem->trigger();
    ASSERT_EQ(dialogs.errors().size(), 1u);
    EXPECT_EQ(dialogs.errors()[0],
              QString::fromStdString("Unable to write to " + (dir / "poems.dmp").string()));
    EXPECT_EQ(dialogs.shown.size(), 1u) << "no confirmation after a failed save";
    EXPECT_FALSE(exists("settings.ini"));
    EXPECT_EQ(window->currentPoemId(), 0);

    std::filesystem::remove_all(dir / "poems.dmp");
    actions().savePoem->trigger();
    EXPECT_EQ(file("poems.dmp"), "[2]\r\ntitle=Rain\r\npoet=\r\ndate=\r\n");
}

TEST_F(MainWindowTest, ShortcutsWorkFromInsideTheTextBoxes) {
    start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    type("Keys", "typed");
    poemEdit()->setFocus();
    QTest::keyClick(poemEdit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(exists("poems.dmp"));
    titleEdit()->setFocus();
    QTest::keyClick(titleEdit(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(titleEdit()->text(), "");
}

TEST_F(MainWindowTest, IdColumnIsHiddenAtStartAndToggles) {
    start();
    EXPECT_TRUE(list()->isColumnHidden(PoemListModel::IdColumn));
    EXPECT_FALSE(actions().toggleIdColumn->isChecked());
    const int width = list()->width();
    actions().toggleIdColumn->trigger();
    EXPECT_FALSE(list()->isColumnHidden(PoemListModel::IdColumn));
    EXPECT_EQ(list()->columnWidth(PoemListModel::IdColumn), width / 2 - 4);
    EXPECT_EQ(list()->columnWidth(PoemListModel::TitleColumn), width / 2);
    actions().toggleIdColumn->trigger();
    EXPECT_TRUE(list()->isColumnHidden(PoemListModel::IdColumn));
    EXPECT_EQ(list()->columnWidth(PoemListModel::TitleColumn), width - 4);
}

// Files a user or another program may leave behind: the window starts, shows
// what it can, and changes nothing on disk by starting.
class BadInputTest : public MainWindowTest, public ::testing::WithParamInterface<const char*> {};

std::string Noise(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (auto& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

TEST_P(BadInputTest, StartsAndChangesNothing) {
    const std::string kind = GetParam();
    std::filesystem::create_directories(dir / "lang");
    std::map<std::string, std::string> files = {
        {"settings.ini", "[Language]\r\ncurrent=Bad\r\n"},
        {"poems.dmp", "[1]\r\ntitle=Kept\r\n[../../x]\r\ntitle=Odd\r\n[]\r\n"},
        {"lang/Bad.lng", "[language]\r\nnew=Uj\r\n"},
    };
    if (kind == "settings")
        files["settings.ini"] = Noise(50000, 1);
    else if (kind == "index")
        files["poems.dmp"] = Noise(200000, 2) + "\r\n[7]\r\ntitle=Found\r\n";
    else if (kind == "language")
        files["lang/Bad.lng"] = Noise(30000, 3);
    else if (kind == "hugeLine")
        files["poems.dmp"] = "[1]\r\ntitle=" + std::string(5'000'000, 'x') + "\r\n";
    for (const auto& [name, bytes] : files)
        WriteBytes(dir / name, bytes);

    start();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_GE(rows(), 1);
    EXPECT_TRUE(dialogs.errors().empty());
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(file(name), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(Files, BadInputTest,
                         ::testing::Values("settings", "index", "language", "hugeLine"));

} // namespace
} // namespace stanzel
