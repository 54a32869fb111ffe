// The window as a new user meets it: the highlight and the title follow the
// poem in the editor, a command that cannot run says why, and the keyboard
// reaches everything.
#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/window_fixture.h"
#include "storage/draft_store.h"
#include "storage/window_place.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListView>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>
#include <iostream>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::MainWindowTest;
using testing::WriteBytes;
using Answer = testing::ScriptedDialogs::DraftAnswer;

const QString kProduct = QStringLiteral("Stanzel v0.1 Beta");

class EverydayWindowTest : public MainWindowTest {
protected:
    void startWithPoems() {
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=P\r\n[2]\r\ntitle=Two\r\n"
                                      "[3]\r\ntitle=Three\r\n");
        fs::create_directory(dir / "poems");
        WriteBytes(dir / "poems" / "1.poem", "first");
        WriteBytes(dir / "poems" / "2.poem", "second");
        WriteBytes(dir / "poems" / "3.poem", "third");
        WriteBytes(dir / "my.txt", "imported");
        startActive();
    }
    void startActive() {
        start();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void click(int row) {
        const QRect cell = list()->visualRect(window->poemList().index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    // The list row the user sees highlighted, or -1.
    int highlighted() const {
        const auto rows = list()->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    QString reason() const { return window->statusBar()->currentMessage(); }
    QWidget* focused() const { return QApplication::focusWidget(); }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focused(), static_cast<Qt::Key>(key), modifiers);
    }
    std::vector<Draft> drafts() const { return DraftStore(dir.path()).List(); }
};

// After each command the highlighted row is the editor's poem, or none for
// a poem not yet stored, so Delete never seems to aim at another poem.
TEST_F(EverydayWindowTest, HighlightFollowsThePoemInTheEditor) {
    startWithPoems();
    click(1);
    ASSERT_EQ(window->currentPoemId(), 2);
    EXPECT_EQ(highlighted(), 1);

    poemEdit()->setPlainText("second, again");
    actions().savePoem->trigger();
    EXPECT_EQ(highlighted(), 1) << "Save keeps the saved poem's row";

    actions().newPoem->trigger();
    EXPECT_EQ(highlighted(), -1) << "New highlights nothing";
    type("Four", "fourth");
    actions().savePoem->trigger();
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(highlighted(), 3) << "a new poem's row once it is saved";

    click(0);
    dialogs.answers = {true};
    window->importDroppedFiles({dir / "my.txt"});
    ASSERT_EQ(poemEdit()->toPlainText(), "imported");
    EXPECT_EQ(highlighted(), -1) << "a drop highlights nothing";

    // Recovering the dropped edit of poem 2 highlights poem 2.
    click(1);
    poemEdit()->setPlainText("an edit of two");
    click(2);
    dialogs.draftAnswers = {{Answer::Recover, 0}};
    actions().recoverDraft->trigger();
    ASSERT_EQ(poemEdit()->toPlainText(), "an edit of two");
    EXPECT_EQ(window->currentPoemId(), 2);
    EXPECT_EQ(highlighted(), 1);
}

// The title names the poem; a dot before it marks what is not yet saved,
// and goes once the editor again holds what is stored.
TEST_F(EverydayWindowTest, TitleNamesThePoemAndMarksUnsavedChanges) {
    startWithPoems();
    EXPECT_EQ(window->windowTitle(), kProduct);
    click(0);
    EXPECT_EQ(window->windowTitle(), "One \u2014 " + kProduct);

    poemEdit()->setFocus();
    QTest::keyClicks(poemEdit(), "x");
    EXPECT_EQ(window->windowTitle(), "\u2022 One \u2014 " + kProduct);
    QTest::keyClick(poemEdit(), Qt::Key_Backspace);
    EXPECT_EQ(window->windowTitle(), "One \u2014 " + kProduct) << "back as stored";

    titleEdit()->setFocus();
    titleEdit()->selectAll();
    QTest::keyClicks(titleEdit(), "Uno");
    EXPECT_EQ(window->windowTitle(), "\u2022 Uno \u2014 " + kProduct);
    actions().savePoem->trigger();
    EXPECT_EQ(window->windowTitle(), "Uno \u2014 " + kProduct);

    actions().newPoem->trigger();
    EXPECT_EQ(window->windowTitle(), kProduct);
    QTest::keyClicks(titleEdit(), "Fresh");
    EXPECT_EQ(window->windowTitle(), "\u2022 Fresh \u2014 " + kProduct);
}

// Each command that cannot run says why in the status bar, in the
// interface's language, and leaves the files alone.
TEST_F(EverydayWindowTest, CommandsThatCannotRunSayWhy) {
    const struct {
        const char* name;
        std::function<void()> act;
        QString english;
    } cases[] = {
        {"save without a title",
         [this] {
             type("", "text");
             actions().savePoem->trigger();
         },
         "A poem needs a title to be saved"},
        {"save without text",
         [this] {
             type("Title", "");
             actions().savePoem->trigger();
         },
         "A poem needs some text to be saved"},
        {"delete with no row", [this] { actions().deletePoem->trigger(); },
         "Choose the poem to delete in the list"},
        {"online search without an engine",
         [this] {
             searchEdit()->setText("Ady");
             actions().searchOnline->trigger();
         },
         "No search engine yet: Edit > Search Engines"},
        {"email without a mail program",
         [this] {
             dialogs.desktopOpensAddresses = false;
             actions().writeEmail->trigger();
         },
         "No mail program is set up: write to hello@stanzel-notebook.org"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        dialogs = {};
        fs::remove_all(dir.path());
        fs::create_directory(dir.path());
        startActive();
        c.act();
        EXPECT_EQ(reason(), c.english);
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_FALSE(exists("poems.dmp"));
    }
    // The same in German.
    fs::create_directory(dir / "lang");
    fs::copy_file(fs::path(STANZEL_SOURCE_DIR) / "lang" / "German.lng",
                  dir / "lang" / "German.lng");
    window->applyLanguage("German");
    type("", "text");
    actions().savePoem->trigger();
    EXPECT_EQ(reason(), "Ein Gedicht braucht einen Titel, um gespeichert zu werden");
}

// In a text box the editing keys are the box's; elsewhere Ctrl+A is still
// Export all.
TEST_F(EverydayWindowTest, CtrlASelectsTheTextInABox) {
    startWithPoems();
    click(0);
    for (QWidget* box : {static_cast<QWidget*>(titleEdit()), static_cast<QWidget*>(poetEdit()),
                         static_cast<QWidget*>(searchEdit())}) {
        box->setFocus();
        press(Qt::Key_A, Qt::ControlModifier);
        auto* line = static_cast<QLineEdit*>(box);
        EXPECT_EQ(line->selectedText(), line->text()) << box->metaObject()->className();
    }
    poemEdit()->setFocus();
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(poemEdit()->textCursor().selectedText(), "first");
    EXPECT_TRUE(dialogs.saveFilters.isEmpty()) << "no export was asked for";

    list()->setFocus();
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(dialogs.saveFilters.isEmpty()) << "Export all from the list";
}

// Delete asks with No preferred, keeps the poem as a deleted draft, and
// Recover Draft puts it back under its own id.
TEST_F(EverydayWindowTest, DeleteCanBeUndoneFromRecoverDraft) {
    startWithPoems();
    click(1);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    ASSERT_EQ(dialogs.preferredAnswers.size(), 1u);
    EXPECT_EQ(dialogs.preferredAnswers[0], UserDialogs::Answer::No);
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\npoet=P\r\n[3]\r\ntitle=Three\r\n");
    EXPECT_FALSE(exists("poems/2.poem"));
    EXPECT_EQ(reason(), "\"Two\" was deleted: Edit > Recover Draft brings it back");
    ASSERT_EQ(drafts().size(), 1u);
    EXPECT_TRUE(drafts()[0].deleted);

    dialogs.draftAnswers = {{Answer::Recover, 0}};
    actions().recoverDraft->trigger();
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    EXPECT_EQ(dialogs.draftLists[0][0].title, "Two (deleted)");
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\npoet=P\r\n[3]\r\ntitle=Three\r\n"
                                 "[2]\r\ntitle=Two\r\npoet=\r\ndate=\r\n");
    EXPECT_EQ(file("poems/2.poem"), "second");
    EXPECT_EQ(window->currentPoemId(), 2);
    EXPECT_EQ(titleEdit()->text(), "Two");
    EXPECT_EQ(highlighted(), 2);
    EXPECT_EQ(window->windowTitle(), "Two \u2014 " + kProduct) << "nothing left to save";
    EXPECT_TRUE(drafts().empty());
}

// A deleted poem whose id another poem has taken since comes back as a new
// poem, and the other stays as it is.
TEST_F(EverydayWindowTest, ADeletedPoemWhoseIdIsTakenComesBackUnderANewOne) {
    startWithPoems();
    click(2);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=P\r\n[2]\r\ntitle=Two\r\n"
                                  "[3]\r\ntitle=Other\r\n");
    WriteBytes(dir / "poems" / "3.poem", "another's");
    dialogs.draftAnswers = {{Answer::Recover, 0}};
    actions().recoverDraft->trigger();
    EXPECT_EQ(file("poems/3.poem"), "another's");
    EXPECT_EQ(window->currentPoemId(), 4);
    EXPECT_EQ(file("poems/4.poem"), "third");
    EXPECT_NE(file("settings.ini").find("autoid=5"), std::string::npos);
    EXPECT_EQ(highlighted(), 3);
}

// A deletion that could not be undone is not made.
TEST_F(EverydayWindowTest, DeleteWhoseDraftCannotBeKeptDeletesNothing) {
    startWithPoems();
    WriteBytes(dir / "drafts", "a file where the folder would go");
    click(0);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    EXPECT_EQ(dialogs.errors().size(), 1u);
    EXPECT_EQ(rows(), 3);
    EXPECT_TRUE(exists("poems/1.poem"));
}

// Tab goes from box to box and to the list without moving its highlight;
// in the poem box Tab indents and Ctrl+Tab leaves.
TEST_F(EverydayWindowTest, TabMovesBetweenTheBoxesAndTheList) {
    startWithPoems();
    click(0);
    titleEdit()->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), poetEdit());
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), dateEdit());
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), poemEdit());
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), poemEdit()) << "Tab indents in the poem";
    EXPECT_TRUE(poemEdit()->toPlainText().contains('\t'));
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(focused(), list());
    press(Qt::Key_Tab);
    EXPECT_NE(focused(), list());
    EXPECT_EQ(highlighted(), 0) << "Tab never moved the highlight";
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), list());
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), poemEdit());
}

// Home and End in the list go to the first and last poem and load them.
TEST_F(EverydayWindowTest, HomeAndEndReachTheEndsOfTheList) {
    startWithPoems();
    click(1);
    list()->setFocus();
    press(Qt::Key_End);
    EXPECT_EQ(highlighted(), 2);
    EXPECT_EQ(titleEdit()->text(), "Three");
    press(Qt::Key_Home);
    EXPECT_EQ(highlighted(), 0);
    EXPECT_EQ(titleEdit()->text(), "One");
}

// F10 and Alt with a menu's letter open the menus; the letter is never
// typed into the box.
TEST_F(EverydayWindowTest, TheMenusOpenFromTheKeyboard) {
    startActive();
    titleEdit()->setFocus();
    press(Qt::Key_F10);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    EXPECT_EQ(QApplication::activePopupWidget(), window->menus().file);
    window->menus().file->close();
    window->menuBar()->setActiveAction(nullptr);

    titleEdit()->setFocus();
    const QString file = window->menus().file->title();
    const int at = file.indexOf('&');
    ASSERT_GE(at, 0) << file.toStdString();
    press(file.at(at + 1).toUpper().unicode(), Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    EXPECT_EQ(QApplication::activePopupWidget(), window->menus().file);
    EXPECT_EQ(titleEdit()->text(), "");
    window->menus().file->close();
}

// In every shipped language each menu's captions have letters of their
// own, and the menu bar's titles too.
TEST_F(EverydayWindowTest, EveryMenuHasAccessLettersInEveryLanguage) {
    fs::create_directory(dir / "lang");
    for (const char* language : {"German", "Hungarian"})
        fs::copy_file(fs::path(STANZEL_SOURCE_DIR) / "lang" / (std::string(language) + ".lng"),
                      dir / "lang" / (std::string(language) + ".lng"));
    startActive();
    for (const char* language : {"English", "German", "Hungarian"}) {
        window->applyLanguage(language);
        std::vector<QList<QAction*>> menus{window->menuBar()->actions()};
        for (QAction* title : window->menuBar()->actions()) {
            menus.push_back(title->menu()->actions());
            for (QAction* item : title->menu()->actions())
                if (item->menu())
                    menus.push_back(item->menu()->actions());
        }
        for (const auto& items : menus) {
            QSet<QChar> letters;
            for (const QAction* item : items) {
                if (item->isSeparator())
                    continue;
                const QString caption = item->text();
                const int at = caption.indexOf(QRegularExpression("&[^&]"));
                ASSERT_GE(at, 0) << language << ": " << caption.toStdString();
                const QChar letter = caption.at(at + 1).toLower();
                EXPECT_FALSE(letters.contains(letter)) << language << ": " << caption.toStdString();
                letters.insert(letter);
            }
        }
    }
}

// Escape in the Find in Poems box closes the panel and goes back to the poem.
TEST_F(EverydayWindowTest, EscapeClosesFindInPoems) {
    startWithPoems();
    poemEdit()->setFocus();
    press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    FindInPoemsPanel& panel = window->findPanel();
    ASSERT_TRUE(panel.isVisible());
    ASSERT_EQ(focused(), panel.queryEdit());
    press(Qt::Key_Escape);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(focused(), poemEdit());
}

// The panel docked below never leaves the poem fewer than a dozen lines at
// the starting size.
TEST_F(EverydayWindowTest, FindInPoemsLeavesTheLinesOfThePoem) {
    startWithPoems();
    const int lineHeight = QFontMetrics(poemEdit()->font()).lineSpacing();
    const int before = poemEdit()->viewport()->height();
    actions().findInPoems->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(window->findPanel().isVisible());
    EXPECT_GE(poemEdit()->viewport()->height(), 12 * lineHeight)
        << "before: " << before << " line: " << lineHeight;
    EXPECT_GT(window->findPanel().resultsView()->height(), lineHeight);
}

// The window opens where it closed, with its size, and always inside the
// screen.
TEST_F(EverydayWindowTest, TheWindowRemembersItsSizeAndPlace) {
    startActive();
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry())) << "the first start";
    window->resize(600, 450);
    window->move(screen.x() + 20, screen.y() + 30);
    QApplication::processEvents();
    window->close();
    const std::string settings = file("settings.ini");
    EXPECT_NE(settings.find("[Window]\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("width=600\r\n"), std::string::npos) << settings;

    window.reset();
    startActive();
    EXPECT_EQ(window->size(), QSize(600, 450));
    EXPECT_EQ(window->pos(), QPoint(screen.x() + 20, screen.y() + 30));

    // A place from a bigger screen, or a larger scale, is brought inside.
    window->close();
    window.reset();
    WriteBytes(dir / "settings.ini",
               "[Window]\r\nleft=-900\r\ntop=-700\r\nwidth=5000\r\nheight=4000\r\n");
    startActive();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << window->frameGeometry().x() << "," << window->frameGeometry().y();
}

// ---- the interface's language and the user's colours reach every part ----

class LanguageWindowTest : public EverydayWindowTest {
protected:
    void SetUp() override {
        fs::create_directory(dir / "lang");
        for (const char* language : {"German", "Hungarian"})
            fs::copy_file(fs::path(STANZEL_SOURCE_DIR) / "lang" / (std::string(language) + ".lng"),
                          dir / "lang" / (std::string(language) + ".lng"));
    }
    QStringList languageItems() const {
        QStringList items;
        for (const QAction* item : window->menus().language->actions())
            items << testing::Caption(item);
        return items;
    }
};

// Each language is named in its own words: by its file, else by a name
// known for it, else by the file's name.
TEST_F(LanguageWindowTest, LanguagesAreNamedInTheirOwnWords) {
    WriteBytes(dir / "lang" / "Klingon.lng", "[language]\r\nlanguagename=tlhIngan Hol\r\n");
    WriteBytes(dir / "lang" / "French.lng", "[language]\r\nnew=Nouveau\r\n");
    WriteBytes(dir / "lang" / "Mine.lng", "[language]\r\n");
    startActive();
    QStringList items = languageItems();
    std::sort(items.begin() + 1, items.end());
    EXPECT_EQ(items, QStringList({"English", "Deutsch", "Fran\u00e7ais", "Magyar", "Mine",
                                  "tlhIngan Hol"}));
}

// Under Hungarian the Help menu, the About box and the dates speak it.
TEST_F(LanguageWindowTest, HungarianReachesHelpAboutAndDates) {
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Hungarian\r\n");
    startWithPoems();
    EXPECT_EQ(testing::Caption(actions().writeEmail), "E-mail");
    actions().about->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Jegyzetf\u00fczet versekhez."))
        << dialogs.shown[0].text.toStdString();
    EXPECT_TRUE(dialogs.shown[0].text.contains("Gy\u0171jtem\u00e9ny: "));
    EXPECT_FALSE(dialogs.shown[0].text.contains("Collection"));

    click(0);
    poemEdit()->setPlainText("first, again");
    actions().savePoem->trigger();
    // Hungarian writes the year first: 2026. 12. 08.
    EXPECT_TRUE(status().contains("2026. 12. 08.")) << status().toStdString();

    poemEdit()->setPlainText("an edit");
    click(1);
    actions().recoverDraft->trigger();
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    EXPECT_TRUE(dialogs.draftLists[0][0].time.startsWith("2026. 12. 08."))
        << dialogs.draftLists[0][0].time.toStdString();
}

TEST_F(LanguageWindowTest, GermanWritesItsOwnDates) {
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=German\r\n");
    startWithPoems();
    click(0);
    poemEdit()->setPlainText("an edit");
    click(1);
    actions().recoverDraft->trigger();
    ASSERT_EQ(dialogs.draftLists.size(), 1u);
    EXPECT_TRUE(dialogs.draftLists[0][0].time.startsWith("08.12.26"))
        << dialogs.draftLists[0][0].time.toStdString();
}

// Dark colours for the list reach the Find in Poems results and the list of
// drafts; the chooser opens on the colour being changed.
TEST_F(EverydayWindowTest, ThePanelAndTheDraftListFollowTheUsersColours) {
    startWithPoems();
    const QColor dark(20, 24, 32);
    dialogs.colours = {dark, QColor(40, 40, 48)};
    actions().chooseListColour->trigger();
    actions().chooseSearchColour->trigger();
    const QWidget* results = window->findPanel().resultsView();
    EXPECT_EQ(results->palette().color(QPalette::Base), dark);
    EXPECT_EQ(results->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(window->findPanel().queryEdit()->palette().color(QPalette::Base), QColor(40, 40, 48));

    click(0);
    poemEdit()->setPlainText("an edit");
    click(1);
    actions().recoverDraft->trigger();
    EXPECT_EQ(dialogs.draftListTexts.background, dark);

    actions().chooseListColour->trigger();
    ASSERT_EQ(dialogs.chooserOpenedOn.size(), 3u);
    EXPECT_EQ(dialogs.chooserOpenedOn[2], dark);
}

// ---- screen readers -------------------------------------------------------

QString AccessibleName(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Every control the user can reach, the panel's clear button too, has a
// name; a found poem reads as its title and the line with the words.
TEST_F(EverydayWindowTest, ScreenReadersNameEveryControl) {
    startWithPoems();
    actions().findInPoems->trigger();
    FindInPoemsPanel& panel = window->findPanel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.reading(); }, 5000));
    QTest::keyClicks(panel.queryEdit(), "third");
    ASSERT_EQ(panel.results().size(), 1u);

    QStringList unnamed;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const bool reachable = widget->focusPolicy() != Qt::NoFocus ||
                               qobject_cast<QAbstractButton*>(widget) != nullptr;
        if (!widget->isVisible() || !reachable || qobject_cast<QScrollBar*>(widget))
            continue;
        if (AccessibleName(widget).isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + " " +
                           widget->objectName();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();

    const auto buttons = panel.queryEdit()->findChildren<QAbstractButton*>();
    const auto clear = std::find_if(buttons.begin(), buttons.end(),
                                    [](QAbstractButton* b) { return b->isVisible(); });
    ASSERT_NE(clear, buttons.end()) << "the clear button shows while the box holds words";
    EXPECT_EQ(AccessibleName(*clear), "Clear");
    QTest::mouseClick(*clear, Qt::LeftButton);
    EXPECT_EQ(panel.queryEdit()->text(), "");

    QTest::keyClicks(panel.queryEdit(), "third");
    QAccessibleInterface* results = QAccessible::queryAccessibleInterface(panel.resultsView());
    ASSERT_NE(results, nullptr);
    ASSERT_GE(results->childCount(), 1);
    EXPECT_EQ(results->child(0)->text(QAccessible::Name), "Three: third");
}

// ---- the poem's zoom and the list's order ---------------------------------

// Ctrl++, Ctrl+- and Ctrl+0 from the poem box, and Ctrl+wheel over it, zoom
// the poem; the zoom is there again at the next start.
TEST_F(EverydayWindowTest, ThePoemZoomsAndTheZoomIsRemembered) {
    startWithPoems();
    const int normal = poemEdit()->font().pointSize();
    poemEdit()->setFocus();
    press(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(poemEdit()->font().pointSize(), normal + 1);
    press(Qt::Key_Minus, Qt::ControlModifier);
    press(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(poemEdit()->font().pointSize(), normal - 1);
    press(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(poemEdit()->font().pointSize(), normal);

    const QPoint middle = poemEdit()->viewport()->rect().center();
    for (int turn = 0; turn < 2; ++turn) {
        QWheelEvent wheel(middle, poemEdit()->viewport()->mapToGlobal(middle), {}, {0, 120},
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(poemEdit()->viewport(), &wheel);
    }
    EXPECT_EQ(poemEdit()->font().pointSize(), normal + 2);
    EXPECT_EQ(titleEdit()->font().pointSize(), normal) << "only the poem zooms";

    window->close();
    EXPECT_NE(file("settings.ini").find("[View]\r\nzoom=2\r\n"), std::string::npos);
    window.reset();
    startActive();
    EXPECT_EQ(poemEdit()->font().pointSize(), normal + 2);
}

class SortedListTest : public EverydayWindowTest {
protected:
    void clickHeader(int column = 0) {
        QHeaderView* header = list()->horizontalHeader();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }
    QStringList shownTitles() const {
        QStringList titles;
        for (int row = 0; row < rows(); ++row)
            titles << window->poemList().index(row, 0).data().toString();
        return titles;
    }
};

// A click on the header sorts up, a second down, a third gives index order
// back; the highlight stays on the editor's poem, and a click on a row opens
// the poem it shows.
TEST_F(SortedListTest, TheHeaderSortsAndTheThirdClickRestoresIndexOrder) {
    startWithPoems();
    click(1);
    ASSERT_EQ(titleEdit()->text(), "Two");
    clickHeader();
    EXPECT_EQ(shownTitles(), QStringList({"One", "Three", "Two"}));
    EXPECT_EQ(highlighted(), 2);
    EXPECT_EQ(titleEdit()->text(), "Two") << "sorting loads nothing";
    click(1);
    EXPECT_EQ(titleEdit()->text(), "Three");
    EXPECT_EQ(window->currentPoemId(), 3);

    clickHeader();
    EXPECT_EQ(shownTitles(), QStringList({"Two", "Three", "One"}));
    EXPECT_EQ(highlighted(), 1);
    // A saved title takes its place in the order.
    titleEdit()->setText("Zero");
    actions().savePoem->trigger();
    EXPECT_EQ(shownTitles(), QStringList({"Zero", "Two", "One"}));
    EXPECT_EQ(highlighted(), 0);

    clickHeader();
    EXPECT_EQ(shownTitles(), QStringList({"One", "Two", "Zero"}));
    EXPECT_EQ(highlighted(), 2);
}

TEST_F(SortedListTest, TheOrderIsRememberedForTheNextStart) {
    startWithPoems();
    clickHeader();
    clickHeader();
    window->close();
    EXPECT_NE(file("settings.ini").find("[List]\r\nsortcolumn=0\r\nsortorder=1\r\n"),
              std::string::npos)
        << file("settings.ini");
    window.reset();
    startActive();
    EXPECT_EQ(shownTitles(), QStringList({"Two", "Three", "One"}));
    EXPECT_TRUE(list()->horizontalHeader()->isSortIndicatorShown());
    click(0);
    EXPECT_EQ(window->currentPoemId(), 2);
}

// 100,000 poems sort in a moment, and the ends of the list are right.
TEST_F(SortedListTest, AHundredThousandPoemsSortQuickly) {
    std::string index;
    constexpr int kPoems = 100000;
    for (int id = 1; id <= kPoems; ++id)
        index += "[" + std::to_string(id) + "]\r\ntitle=Poem " +
                 std::to_string((id * 7919) % kPoems) + "\r\n";
    WriteBytes(dir / "poems.dmp", index);
    startActive();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->poemList().reading(); }, 20000));
    ASSERT_EQ(rows(), kPoems);
    QElapsedTimer clock;
    clock.start();
    clickHeader();
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(window->poemList().index(0, 0).data().toString(), "Poem 0");
    EXPECT_EQ(window->poemList().index(kPoems - 1, 0).data().toString(), "Poem 99999");
    std::cout << "sorting 100,000 titles took " << elapsed << " ms\n";
    EXPECT_LT(elapsed, 3000);
}

} // namespace
} // namespace stanzel
