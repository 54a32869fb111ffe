// Spelling through the window: the marks seen on the screen, Edit > Spelling,
// and the right click's suggestions, Add to Dictionary and Ignore.
#include "spelling/own_words.h"
#include "spelling/spelling_highlighter.h"
#include "spelling/spelling_session.h"
#include "window_fixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace stanzel::testing {
namespace {

class SpellingWindowTest : public MainWindowTest {
protected:
    // The window shown and its dictionary loaded.
    void startChecking(std::vector<std::filesystem::path> folders = {}) {
        window = std::make_unique<MainWindow>(dir.path(), dialogs);
        if (!folders.empty())
            window->setDictionaryFolders(std::move(folders));
        window->show();
        waitFor([&] { return window->spelling() && window->spelling()->checking(); });
    }
    // The poem box's text put in, and every line of it checked.
    void putPoem(const QString& text) {
        poemEdit()->setPlainText(text);
        waitFor([&] { return !window->poemSpelling()->checkingPending(); });
    }
    // Red pixels of the widget as it is painted, each as its position.
    static std::vector<QPoint> redPixels(QWidget* widget) {
        const QImage image = widget->grab().toImage();
        std::vector<QPoint> red;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 160 && c.green() < 110 && c.blue() < 110)
                    red.emplace_back(x, y);
            }
        return red;
    }
    QRect poemRect(int block, int from, int to) const {
        QTextCursor cursor(poemEdit()->document()->findBlockByNumber(block));
        cursor.setPosition(cursor.block().position() + from);
        const QRect start = poemEdit()->cursorRect(cursor);
        cursor.setPosition(cursor.block().position() + to);
        return start.united(poemEdit()->cursorRect(cursor));
    }
    // A right click, as the mouse sends it, and the menu it opens.
    QMenu* rightClick(QWidget* target, QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    static QAction* item(QMenu* menu, const QString& caption) {
        for (QAction* action : menu->actions())
            if (Caption(action) == caption)
                return action;
        return nullptr;
    }
    static QStringList captions(QMenu* menu) {
        QStringList all;
        for (QAction* action : menu->actions())
            all << Caption(action);
        return all;
    }
};

TEST_F(SpellingWindowTest, AMisspeltWordIsUnderlinedInRedAndACorrectLineIsNot) {
    startChecking();
    putPoem(QStringLiteral("The Wnid blows\nThe wind blows"));
    const std::vector<QPoint> red = redPixels(poemEdit()->viewport());
    ASSERT_GT(red.size(), 5u) << "no red line under Wnid";
    const QRect word = poemRect(0, 4, 8);
    const QRect correctLine = poemRect(1, 0, 14);
    for (const QPoint& pixel : red) {
        EXPECT_GE(pixel.x(), word.left() - 2);
        EXPECT_LE(pixel.x(), word.right() + 2);
        EXPECT_LT(pixel.y(), correctLine.top()) << "red under the correct line";
    }
    // Correcting the word takes the line away.
    QTextCursor cursor(poemEdit()->document());
    cursor.setPosition(4);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    cursor.insertText(QStringLiteral("Wind"));
    QApplication::processEvents();
    EXPECT_TRUE(redPixels(poemEdit()->viewport()).empty());
}

TEST_F(SpellingWindowTest, ALongPoemIsMarkedToItsLastLineWithoutTouchingItsText) {
    startChecking();
    // Words never met before, one misspelt on every line.
    QString poem;
    for (int line = 0; line < 600; ++line)
        poem += QStringLiteral("The wind blows over Qz%1%2x\n")
                    .arg(QChar(u'a' + line % 26))
                    .arg(QChar(u'a' + line / 26 % 26));
    putPoem(poem);
    int marked = 0;
    for (QTextBlock block = poemEdit()->document()->begin(); block.isValid(); block = block.next())
        marked += block.layout()->formats().empty() ? 0 : 1;
    EXPECT_EQ(marked, 600);
    EXPECT_EQ(poemEdit()->toPlainText(), poem);
    EXPECT_FALSE(poemEdit()->document()->isUndoAvailable());
}

TEST_F(SpellingWindowTest, LinesLeftForLaterTurnsAreMarkedInThem) {
    startChecking();
    QTextEdit box;
    QTextDocument& document = *box.document();
    // One line a turn.
    const SpellingHighlighter highlighter(&document, *window->spelling(),
                                          std::chrono::milliseconds(0));
    document.setPlainText(QStringLiteral("Wnid one\n\nWnid two\nWnid three"));
    const auto marked = [&](int line) {
        return !document.findBlockByNumber(line).layout()->formats().empty();
    };
    EXPECT_TRUE(marked(0));
    EXPECT_FALSE(marked(3));
    EXPECT_TRUE(highlighter.checkingPending());
    waitFor([&] { return !highlighter.checkingPending(); });
    for (int line : {0, 2, 3})
        EXPECT_TRUE(marked(line)) << line;
}

TEST_F(SpellingWindowTest, TheTitleBoxUnderlinesItsMisspeltWordsToo) {
    startChecking();
    titleEdit()->setFocus();
    QTest::keyClicks(titleEdit(), QStringLiteral("Nite song"));
    const std::vector<QPoint> red = redPixels(titleEdit());
    ASSERT_GT(red.size(), 5u);
    auto* box = static_cast<SpellCheckedLineEdit*>(titleEdit());
    for (const QPoint& pixel : red) {
        EXPECT_GE(pixel.x(), box->xOfPosition(0) - 2);
        EXPECT_LE(pixel.x(), box->xOfPosition(4) + 2);
    }
    titleEdit()->setText(QStringLiteral("Night song"));
    EXPECT_TRUE(redPixels(titleEdit()).empty());
}

TEST_F(SpellingWindowTest, ARightClickOffersSuggestionsAndAppliesOneAsOneUndoStep) {
    startChecking();
    putPoem(QStringLiteral("The Wnid blows"));
    QElapsedTimer answered;
    answered.start();
    QMenu* menu = rightClick(poemEdit()->viewport(), poemRect(0, 5, 6).center());
    EXPECT_LT(answered.elapsed(), 300);
    ASSERT_TRUE(menu);
    waitFor([&] { return item(menu, QStringLiteral("Wind")) != nullptr; });
    const QStringList shown = captions(menu);
    EXPECT_EQ(shown.first(), QStringLiteral("Wind")) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Add to Dictionary")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Ignore")));
    // The box's own menu follows.
    EXPECT_GT(shown.indexOf(QStringLiteral("Ignore")), shown.indexOf(QStringLiteral("Wind")));
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                            [](const QString& c) { return c.contains(QStringLiteral("Copy")); }));
    item(menu, QStringLiteral("Wind"))->trigger();
    menu->close();
    EXPECT_EQ(poemEdit()->toPlainText(), QStringLiteral("The Wind blows"));
    poemEdit()->undo();
    EXPECT_EQ(poemEdit()->toPlainText(), QStringLiteral("The Wnid blows"));
}

TEST_F(SpellingWindowTest, TheTitlesSuggestionIsOneUndoStep) {
    startChecking();
    titleEdit()->setText(QStringLiteral("A Nite of rain"));
    auto* box = static_cast<SpellCheckedLineEdit*>(titleEdit());
    QMenu* menu = rightClick(titleEdit(), QPoint(box->xOfPosition(3), titleEdit()->height() / 2));
    ASSERT_TRUE(menu);
    waitFor([&] { return item(menu, QStringLiteral("Night")) != nullptr; });
    EXPECT_EQ(captions(menu).first(), QStringLiteral("Night"));
    item(menu, QStringLiteral("Night"))->trigger();
    menu->close();
    EXPECT_EQ(titleEdit()->text(), QStringLiteral("A Night of rain"));
    titleEdit()->undo();
    EXPECT_EQ(titleEdit()->text(), QStringLiteral("A Nite of rain"));
}

TEST_F(SpellingWindowTest, AddToDictionaryKeepsTheWordInTheCollection) {
    startChecking();
    putPoem(QStringLiteral("Stanzelke sings"));
    ASSERT_FALSE(redPixels(poemEdit()->viewport()).empty());
    QMenu* menu = rightClick(poemEdit()->viewport(), poemRect(0, 2, 3).center());
    ASSERT_TRUE(menu);
    item(menu, QStringLiteral("Add to Dictionary"))->trigger();
    menu->close();
    QApplication::processEvents();
    EXPECT_TRUE(redPixels(poemEdit()->viewport()).empty());
    EXPECT_EQ(file(kOwnWordsFileName), "Stanzelke\n");
    // A correct word's menu is the box's own alone.
    menu = rightClick(poemEdit()->viewport(), poemRect(0, 2, 3).center());
    ASSERT_TRUE(menu);
    EXPECT_FALSE(item(menu, QStringLiteral("Add to Dictionary")));
    menu->close();
}

TEST_F(SpellingWindowTest, IgnoreUnmarksTheWordForTheRun) {
    startChecking();
    titleEdit()->setText(QStringLiteral("Wnid"));
    QMenu* menu = rightClick(titleEdit(),
                             QPoint(static_cast<SpellCheckedLineEdit*>(titleEdit())->xOfPosition(1),
                                    titleEdit()->height() / 2));
    ASSERT_TRUE(menu);
    item(menu, QStringLiteral("Ignore"))->trigger();
    menu->close();
    EXPECT_TRUE(redPixels(titleEdit()).empty());
    EXPECT_FALSE(exists(kOwnWordsFileName));
}

TEST_F(SpellingWindowTest, TheSpellingMenuListsTheDictionariesAndKeepsTheChoice) {
    startChecking();
    QStringList names;
    for (QAction* action : window->dictionaryActions())
        names << Caption(action);
    for (const char* name :
         {"English (United States)", "Deutsch (Deutschland)", "magyar (Magyarország)"})
        EXPECT_TRUE(names.contains(QString::fromUtf8(name))) << name;
    // English interface, so English spelling, checked.
    EXPECT_EQ(window->poemLanguage().code(), "en_US");
    const auto german =
        std::find_if(window->dictionaryActions().begin(), window->dictionaryActions().end(),
                     [](QAction* a) { return a->data().toString() == QStringLiteral("de_DE"); });
    ASSERT_NE(german, window->dictionaryActions().end());
    (*german)->trigger();
    EXPECT_TRUE((*german)->isChecked());
    EXPECT_FALSE(actions().spellingOff->isChecked());
    waitFor([&] { return window->spelling()->checking(); });
    titleEdit()->setText(QStringLiteral("Straße"));
    EXPECT_TRUE(static_cast<SpellCheckedLineEdit*>(titleEdit())->marked().empty());
    actions().spellingOff->trigger();
    EXPECT_TRUE(window->poemLanguage().off());
    EXPECT_FALSE((*german)->isChecked());
    titleEdit()->setText(QStringLiteral("Wnid"));
    EXPECT_TRUE(redPixels(titleEdit()).empty());
    window->close();
    EXPECT_NE(file("settings.ini").find("[Spelling]\r\ndictionary=off"), std::string::npos)
        << file("settings.ini");
    // The next start keeps it off.
    window = std::make_unique<MainWindow>(dir.path(), dialogs);
    window->show();
    waitFor([&] { return window->spelling() != nullptr; });
    EXPECT_TRUE(window->poemLanguage().off());
    EXPECT_TRUE(actions().spellingOff->isChecked());
}

TEST_F(SpellingWindowTest, TheInterfacesLanguageChoosesTheFirstDictionary) {
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Hungarian\r\n");
    std::filesystem::create_directories(dir / "lang");
    std::filesystem::copy_file(std::filesystem::path(STANZEL_SOURCE_DIR) / "lang/Hungarian.lng",
                               dir / "lang/Hungarian.lng");
    startChecking();
    EXPECT_EQ(window->poemLanguage().code(), "hu_HU");
    EXPECT_EQ(Caption(window->menus().spelling->menuAction()), QStringLiteral("Helyesírás"));
}

TEST_F(SpellingWindowTest, ABrokenDictionaryLeavesSpellingOffWithAMessage) {
    TestDir folder;
    WriteBytes(folder / "en_US.aff", "SET UTF-8\n");
    WriteBytes(folder / "en_US.dic", "garbage\n");
    window = std::make_unique<MainWindow>(dir.path(), dialogs);
    window->setDictionaryFolders({folder.path()});
    window->show();
    waitFor([&] { return status().contains(QStringLiteral("en_US")); });
    EXPECT_EQ(status(), QStringLiteral("Spelling is off: the dictionary en_US cannot be read."));
    EXPECT_TRUE(actions().spellingOff->isChecked());
    poemEdit()->setPlainText(QStringLiteral("Wnid"));
    EXPECT_TRUE(redPixels(poemEdit()->viewport()).empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
} // namespace stanzel::testing
