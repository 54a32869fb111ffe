#include "mainwindow/qt_user_dialogs.h"
#include "mainwindow/window_fixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace stanzel {
namespace {

using testing::Caption;
using testing::MainWindowTest;
using testing::WriteBytes;

class AppearanceTest : public MainWindowTest {
protected:
    // The colour a row is drawn in, read off a rendering of the list, away
    // from its text.
    QColor drawnRowColour(int row) {
        QApplication::processEvents();
        list()->selectionModel()->clear();
        const QRect rect = list()->visualRect(window->poemList().index(row, 0));
        QImage image(list()->viewport()->size(), QImage::Format_RGB32);
        list()->viewport()->render(&image);
        return image.pixelColor(rect.right() - 2, rect.center().y());
    }
    // The lightness of a widget's text, read off a rendering of `area`: the
    // pixel that differs most in lightness from the background there.
    static int inkLightness(QWidget* widget, const QRect& area) {
        QApplication::processEvents();
        QImage image(widget->size(), QImage::Format_RGB32);
        widget->render(&image);
        const int background = image.pixelColor(area.topLeft()).lightness();
        int ink = background;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const int lightness = image.pixelColor(x, y).lightness();
                if (std::abs(lightness - background) > std::abs(ink - background))
                    ink = lightness;
            }
        return ink;
    }
    // Each box and the first two rows of the list, with where its text is.
    std::vector<std::tuple<const char*, QWidget*, QRect>> textAreas() {
        list()->selectionModel()->clear();
        std::vector<std::tuple<const char*, QWidget*, QRect>> areas;
        for (auto [name, box] : {std::pair<const char*, QWidget*>{"title", titleEdit()},
                                 {"poet", poetEdit()},
                                 {"date", dateEdit()},
                                 {"online search", searchEdit()}})
            areas.emplace_back(name, box, box->rect().adjusted(4, 4, -4, -4));
        areas.emplace_back("poem", poemEdit()->viewport(),
                           poemEdit()->viewport()->rect().adjusted(2, 2, -2, -2));
        for (int row : {0, 1})
            areas.emplace_back(
                row == 0 ? "row 1" : "row 2", list()->viewport(),
                list()->visualRect(window->poemList().index(row, 0)).adjusted(1, 1, -1, -1));
        return areas;
    }
    void typeEverywhere() {
        type("Autumn Rain", "The rain falls\non the roofs", "Endre Ady", "1906");
        searchEdit()->setText("Autumn Rain");
    }
    std::string colourSection() {
        window->close();
        const std::string settings = file("settings.ini");
        const auto colours = settings.find("[Colors]");
        return settings.substr(colours, settings.find("[Window]") - colours);
    }
    QMenu* languageMenu() const { return window->menus().language; }
    QStringList languageItems() const {
        QStringList items;
        for (QAction* action : languageMenu()->actions())
            items << Caption(action) + (action->isChecked() ? "*" : "");
        return items;
    }
};

TEST_F(AppearanceTest, EmptySettingsShowAndStoreTheDefaults) {
    start();
    EXPECT_EQ(titleEdit()->palette().color(QPalette::Base), QColor(0xFC, 0xF8, 0xE2));
    EXPECT_EQ(searchEdit()->palette().color(QPalette::Base), QColor(0xFA, 0xF2, 0xCB));
    EXPECT_EQ(colourSection(), "[Colors]\r\npoemt=$00E2F8FC\r\npoet=$00E2F8FC\r\ndate=$00E2F8FC\r\n"
                               "poem=$00E2F8FC\r\nlist=$00E2F8FC\r\nsearch=$00CBF2FA\r\n"
                               "l1=$00CBF2FA\r\nl2=$00E2F8FC\r\n");
}

TEST_F(AppearanceTest, ChooserStartsOnTheColourBeingChanged) {
    start();
    dialogs.colours = {QColor(Qt::white), std::nullopt, QColor(1, 2, 3), std::nullopt};
    actions().chooseTitleColour->trigger(); // title box: white
    actions().choosePoetColour->trigger();  // cancelled: nothing changes
    actions().chooseDateColour->trigger();  // date box
    actions().chooseTitleColour->trigger(); // again, cancelled
    const QColor box(0xFC, 0xF8, 0xE2);
    ASSERT_EQ(dialogs.chooserOpenedOn.size(), 4u);
    EXPECT_EQ(dialogs.chooserOpenedOn[0], box);
    EXPECT_EQ(dialogs.chooserOpenedOn[1], box);
    EXPECT_EQ(dialogs.chooserOpenedOn[2], box);
    EXPECT_EQ(dialogs.chooserOpenedOn[3], QColor(Qt::white));
    EXPECT_EQ(titleEdit()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(colourSection(), "[Colors]\r\npoemt=clWhite\r\npoet=$00E2F8FC\r\ndate=$00030201\r\n"
                               "poem=$00E2F8FC\r\nlist=$00E2F8FC\r\nsearch=$00CBF2FA\r\n"
                               "l1=$00CBF2FA\r\nl2=$00E2F8FC\r\n");
}

TEST_F(AppearanceTest, StoredColoursInEveryFormAreRestored) {
    WriteBytes(dir / "settings.ini",
               "[Colors]\r\npoemt=CLWHITE\r\npoet=16777215\r\ndate=$FFFFFF\r\n"
               "poem=nonsense\r\nsearch=clBtnFace\r\n");
    start();
    for (QLineEdit* box : {titleEdit(), poetEdit(), dateEdit()})
        EXPECT_EQ(box->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(poemEdit()->palette().color(QPalette::Base), QColor(0xFC, 0xF8, 0xE2));
    EXPECT_EQ(searchEdit()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Active, QPalette::Button));
    const std::string colours = colourSection();
    EXPECT_NE(colours.find("poemt=clWhite\r\npoet=clWhite\r\ndate=clWhite\r\npoem=$00E2F8FC\r\n"),
              std::string::npos);
    EXPECT_NE(colours.find("search=clBtnFace\r\n"), std::string::npos);
}

TEST_F(AppearanceTest, EverySecondRowInItsOwnColour) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=a\r\n[2]\r\ntitle=b\r\n[3]\r\ntitle=c\r\n"
                                  "[4]\r\ntitle=d\r\n[5]\r\ntitle=e\r\n");
    start();
    const QColor list(0xFC, 0xF8, 0xE2), second(0xFA, 0xF2, 0xCB);
    EXPECT_EQ(drawnRowColour(0), list);
    EXPECT_EQ(drawnRowColour(1), second);
    EXPECT_EQ(drawnRowColour(2), list);
    EXPECT_EQ(drawnRowColour(3), second);
    EXPECT_EQ(drawnRowColour(4), list);

    actions().toggleRowColouring->trigger();
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(drawnRowColour(row), list) << row;

    actions().toggleRowColouring->trigger();
    dialogs.colours = {QColor(10, 20, 30), QColor(200, 100, 50)};
    actions().chooseListColour->trigger();
    actions().chooseSecondRowColour->trigger();
    EXPECT_EQ(drawnRowColour(0), QColor(10, 20, 30));
    EXPECT_EQ(drawnRowColour(1), QColor(200, 100, 50));

    actions().restoreDefaultColours->trigger();
    EXPECT_EQ(drawnRowColour(0), list);
    EXPECT_EQ(drawnRowColour(1), second);
}

// Black boxes and rows get light text; the default light colours keep dark
// text on a dark desktop theme, whose own text colour is light.
TEST_F(AppearanceTest, TextContrastsWithEveryBoxAndRow) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Autumn Rain\r\n[2]\r\ntitle=Winter Sun\r\n");
    const QPalette desktop = QApplication::palette();
    QPalette dark = desktop;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    start();
    typeEverywhere();
    for (const auto& [name, widget, area] : textAreas())
        EXPECT_LT(inkLightness(widget, area), 100) << name << " on its default colour";

    QApplication::setPalette(desktop);
    dialogs.colours.assign(7, QColor(Qt::black));
    for (QAction* choose :
         {actions().chooseListColour, actions().chooseSecondRowColour, actions().chooseSearchColour,
          actions().chooseTitleColour, actions().choosePoetColour, actions().chooseDateColour,
          actions().choosePoemColour})
        choose->trigger();
    for (const auto& [name, widget, area] : textAreas())
        EXPECT_GT(inkLightness(widget, area), 160) << name << " on black";
}

// Screen readers name each box by its label, in the interface's language;
// the poet's search button, the online-search box and the list have names.
TEST_F(AppearanceTest, ScreenReadersHearNamedControls) {
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Deutsch.lng",
               "[language]\r\npoemtitle=Gedichttitel:\r\npoemslist=Gedichte\r\n"
               "searchpoet=Dichter online suchen\r\npoet=Dichter & Autor:\r\n");
    start();
    const auto name = [](QObject* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(titleEdit()), "Poem Title:");
    EXPECT_EQ(name(poetEdit()), "Poet:");
    EXPECT_EQ(name(dateEdit()), "Date of writing:");
    EXPECT_EQ(name(poemEdit()), "Poem:");
    EXPECT_EQ(name(searchEdit()), "Search Online");
    EXPECT_EQ(name(window->poetSearchButton()), "Search Poet Online");
    EXPECT_EQ(name(list()), "Poems");
    languageMenu()->actions()[1]->trigger();
    EXPECT_EQ(name(titleEdit()), "Gedichttitel:");
    EXPECT_EQ(name(window->poetSearchButton()), "Dichter online suchen");
    EXPECT_EQ(name(list()), "Gedichte");
    // An "&" in a caption is shown, not taken as a keyboard marker, and the
    // printout's footer carries the caption as the file has it.
    EXPECT_EQ(name(poetEdit()), "Dichter & Autor:");
    type("Regen", "Zeile", "Ady");
    dialogs.answers = {true};
    actions().print->trigger();
    ASSERT_EQ(dialogs.printed.size(), 1u);
    EXPECT_EQ(dialogs.printed[0].poetLabel, "Dichter & Autor:");
}

// The shipped German file names its locale, so Qt's own buttons speak German
// in the real message box of the delete question; English brings them back.
TEST(QtTranslationsInTheWindow, DeleteQuestionSaysJaAndNeinInGerman) {
    testing::TestDir dir;
    std::filesystem::create_directories(dir / "lang");
    std::filesystem::copy_file(STANZEL_SOURCE_DIR "/lang/German.lng", dir / "lang" / "German.lng");
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Herbst\r\n");
    QtUserDialogs realDialogs;
    MainWindow window(dir.path(), realDialogs);
    window.show();
    const auto deleteButtons = [&window] {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            for (QAbstractButton* button : box->buttons())
                texts << button->text().remove('&');
            box->button(QMessageBox::No)->click();
        });
        window.actions().deletePoem->trigger();
        texts.sort();
        return texts;
    };
    window.poemListView()->selectionModel()->select(window.poemList().index(0, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    window.menus().language->actions()[1]->trigger();
    ASSERT_EQ(window.currentLanguage(), "German");
    EXPECT_EQ(deleteButtons(), QStringList({"Ja", "Nein"}));
    window.actions().chooseEnglish->trigger();
    EXPECT_EQ(deleteButtons(), QStringList({"No", "Yes"}));
    EXPECT_TRUE(std::filesystem::exists(dir / "poems.dmp"));
    window.close();
}

TEST_F(AppearanceTest, EmptyListKeepsItsBackgroundUntilItHoldsARow) {
    start();
    dialogs.colours = {QColor(10, 20, 30)};
    actions().chooseListColour->trigger();
    const std::string colours = colourSection();
    EXPECT_NE(colours.find("list=$00E2F8FC\r\n"), std::string::npos);
    EXPECT_NE(colours.find("l2=$001E140A\r\n"), std::string::npos);
}

TEST_F(AppearanceTest, ViewSwitches) {
    start();
    actions().toggleToolbar->trigger();
    EXPECT_FALSE(window->toolBar()->isVisible());
    EXPECT_FALSE(actions().toggleToolbar->isChecked());
    actions().toggleToolbar->trigger();
    EXPECT_TRUE(window->toolBar()->isVisible());
    actions().toggleStatusBar->trigger();
    EXPECT_FALSE(window->statusBar()->isVisible());
    EXPECT_FALSE(actions().toggleStatusBar->isChecked());
}

TEST_F(AppearanceTest, LanguageMenuListsTheFilesAndSwitches) {
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Deutsch.lng", "[language]\r\nnew=Neu\r\nlastsave=Gespeichert:\r\n");
    start();
    EXPECT_EQ(languageItems(), QStringList({"English*", "Deutsch"}));
    languageMenu()->actions()[1]->trigger();
    EXPECT_EQ(languageItems(), QStringList({"English", "Deutsch*"}));
    EXPECT_EQ(Caption(actions().newPoem), "Neu");
    EXPECT_EQ(status(), "Gespeichert: -");
    window->close();
    EXPECT_TRUE(file("settings.ini").starts_with("[Language]\r\ncurrent=Deutsch\r\nid=1\r\n"));
}

TEST_F(AppearanceTest, OddLanguageFileNames) {
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Magyar.LNG", "[language]\r\nnew=Uj\r\n");
    WriteBytes(dir / "lang" / "Twice.lng.lng", "[language]\r\nnew=Twice\r\n");
    start();
    QStringList items = languageItems();
    items.sort();
    EXPECT_EQ(items, QStringList({"English*", "Magyar.LNG", "Twice"}));
    for (QAction* item : languageMenu()->actions()) {
        if (Caption(item) == "Magyar.LNG") {
            item->trigger(); // looks for "Magyar.LNG.lng": English texts
            EXPECT_EQ(Caption(actions().newPoem), "New");
            EXPECT_TRUE(item->isChecked());
            EXPECT_EQ(window->currentLanguage(), "Magyar.LNG");
        }
    }
}

TEST_F(AppearanceTest, StoredIndexAndNameMayDisagree) {
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Deutsch.lng", "[language]\r\nnew=Neu\r\n");
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Gone\r\nid=1\r\n");
    start();
    // The stored name has no file: English texts, no item by name, the
    // stored position checked all the same, and both written back.
    EXPECT_EQ(Caption(actions().newPoem), "New");
    EXPECT_EQ(languageItems(), QStringList({"English", "Deutsch*"}));
    EXPECT_EQ(window->languageIndex(), 1);
    window->close();
    EXPECT_TRUE(file("settings.ini").starts_with("[Language]\r\ncurrent=Gone\r\nid=1\r\n"));
}

TEST_F(AppearanceTest, StartUpStepsRunInTheirOrder) {
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "Deutsch.lng", "[language]\r\nlastsave=Gespeichert:\r\n");
    WriteBytes(dir / "search.egs", "A|http://a/\r\nB|http://b/\r\n");
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Deutsch\r\n[Save]\r\nlast=gestern\r\n"
                                     "[Search]\r\nselected=1\r\n[Colors]\r\npoem=clRed\r\n");
    start();
    // The status bar took the stored language's label, the engine was chosen
    // after its menu was built, the colours and the hidden ID column are set.
    EXPECT_EQ(status(), "Gespeichert: gestern");
    EXPECT_EQ(window->onlineSearch().selectedEngine(), 1);
    EXPECT_EQ(window->onlineSearch().searchUrl(), "http://b/");
    EXPECT_EQ(poemEdit()->palette().color(QPalette::Base), QColor(Qt::red));
    EXPECT_TRUE(list()->isColumnHidden(PoemListModel::IdColumn));
    EXPECT_TRUE(titleEdit()->hasFocus() || !window->isActiveWindow());
}

} // namespace
} // namespace stanzel
