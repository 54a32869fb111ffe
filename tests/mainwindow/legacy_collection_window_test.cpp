// A collection carried over from an older system, its poems and language
// file in the system's code page: the window shows every letter, and a
// Save writes the edited poem as UTF-8 and nothing else.

#include "search/engine_editor.h"
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QTest>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

struct LegacyWindowCase {
    const char* name;
    const char* codePage;
    // The first poem as the user sees it and as the old system stored it.
    const char* title;
    const char* poet;
    const char* text; // as the poem box shows it
    const char* storedTitle;
    const char* storedPoet;
    const char* storedText;
    // The File > Save caption of the collection's language file, both ways.
    const char* saveCaption;
    const char* storedSaveCaption;
};

class LegacyCollectionWindow : public testing::MainWindowTest,
                               public ::testing::WithParamInterface<LegacyWindowCase> {
protected:
    void SetUp() override {
        const auto& row = GetParam();
        std::filesystem::create_directories(dir / "poems");
        std::filesystem::create_directories(dir / "lang");
        WriteBytes(dir / "poems.dmp", std::string("[1]\r\ntitle=") + row.storedTitle + "\r\npoet=" +
                                          row.storedPoet + "\r\ndate=\r\n" + std::string(kSecond));
        WriteBytes(dir / "poems" / "1.poem", row.storedText);
        WriteBytes(dir / "poems" / "2.poem", kSecondText);
        WriteBytes(dir / "lang" / "Old.lng", languageFile());
        WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Old\r\n");
    }
    std::string languageFile() const {
        return std::string("[language]\r\nsave=") + GetParam().storedSaveCaption +
               "\r\nsavemsg=\"%s\" OK\r\n";
    }

    // The second poem, in the code page too, which nobody edits.
    static constexpr std::string_view kSecond = "[2]\r\ntitle=\xC9j \xE9s nap\r\npoet=\r\n";
    static constexpr std::string_view kSecondText = "\xE9jjel \xE9s nappal\r\n";
};

TEST_P(LegacyCollectionWindow, ShowsEveryLetterAndSavesTheEditAsUtf8) {
    const auto& row = GetParam();
    start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(actions().savePoem->text(), QString::fromUtf8(row.saveCaption));
    EXPECT_EQ(window->poemList().data(window->poemList().index(0, 0), Qt::DisplayRole).toString(),
              QString::fromUtf8(row.title));

    const QRect cell = list()->visualRect(window->poemList().index(0, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    ASSERT_EQ(window->currentPoemId(), 1);
    EXPECT_EQ(titleEdit()->text(), QString::fromUtf8(row.title));
    EXPECT_EQ(poetEdit()->text(), QString::fromUtf8(row.poet));
    EXPECT_EQ(poemEdit()->toPlainText(), QString::fromUtf8(row.text));
    EXPECT_FALSE(poemEdit()->toPlainText().contains(QChar(0xFFFD)));

    poemEdit()->setFocus();
    poemEdit()->moveCursor(QTextCursor::End);
    QTest::keyClick(poemEdit(), Qt::Key_Exclam, Qt::ShiftModifier);
    QTest::keyClick(poemEdit(), Qt::Key_S, Qt::ControlModifier);

    const std::string index = file("poems.dmp");
    EXPECT_EQ(index, std::string("[1]\r\ntitle=") + row.title + "\r\npoet=" + row.poet +
                         "\r\ndate=\r\n" + std::string(kSecond));
    std::string saved = row.text;
    for (auto at = saved.find('\n'); at != std::string::npos; at = saved.find('\n', at + 2))
        saved.replace(at, 1, "\r\n");
    EXPECT_EQ(file("poems/1.poem"), saved + "!");
    EXPECT_EQ(file("poems/2.poem"), kSecondText);
    EXPECT_EQ(file("lang/Old.lng"), languageFile());
    EXPECT_NE(file("settings.ini").find(std::string("[Text]\r\ncodepage=") + row.codePage),
              std::string::npos);

    // The next run reads what was saved as it was typed.
    window.reset();
    start();
    select(0);
    EXPECT_EQ(titleEdit()->text(), QString::fromUtf8(row.title));
    EXPECT_EQ(poemEdit()->toPlainText(), QString::fromUtf8(row.text) + "!");
}

// The list of search engines carried over with the collection: its names
// shown with their letters in the menu and the editor, and the file left as
// it was until the user saves it from the editor.
TEST_P(LegacyCollectionWindow, EngineListShowsItsLetters) {
    const std::string engines = std::string("K\xF6nyvt\xE1r|http://mek.example/?q=\r\n");
    WriteBytes(dir / "search.egs", engines);
    start();
    ASSERT_FALSE(window->menus().engines->actions().isEmpty());
    EXPECT_EQ(window->menus().engines->actions()[0]->text(), "Könyvtár");
    QString shown;
    dialogs.windowScripts.push_back([&shown](QDialog& editor) {
        shown = dynamic_cast<EngineEditor&>(editor).textEdit()->toPlainText();
        editor.close();
    });
    actions().editSearchEngines->trigger();
    EXPECT_EQ(shown, "Könyvtár|http://mek.example/?q=\n");
    EXPECT_EQ(file("search.egs"), engines);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, LegacyCollectionWindow,
    ::testing::Values(
        LegacyWindowCase{
            "HungarianInWindows1250", "WINDOWS-1250", "Végén", "Petőfi Sándor",
            "„Talpra magyar” – hí a haza!\nItt az idő, most vagy soha!", "V\xE9g\xE9n",
            "Pet\xF5"
            "fi S\xE1ndor",
            "\x84Talpra magyar\x94 \x96 h\xED a haza!\r\nItt az id\xF5, most vagy soha!", "Mentés",
            "Ment\xE9s"},
        LegacyWindowCase{"HungarianInIso8859_2", "ISO-8859-2", "Őszi éj", "Arany János",
                         "Ül a fűzfa ágán ősz varjú, fütyül a szél,\nés a tűz kialszik a kunyhó "
                         "előtt, ahol a pásztor őrzi a nyájat.",
                         "\xD5szi \xE9j", "Arany J\xE1nos",
                         "\xDCl a f\xFBz"
                         "fa \xE1g\xE1n \xF5sz varj\xFA, f\xFCty\xFCl a sz\xE9l,\r\n"
                         "\xE9s a t\xFBz kialszik a kunyh\xF3 el\xF5tt, ahol a p\xE1sztor "
                         "\xF5rzi a ny\xE1jat.",
                         "Mentés", "Ment\xE9s"},
        LegacyWindowCase{"GermanInWindows1252", "WINDOWS-1252", "Über allen Gipfeln", "Goethe",
                         "Über allen Gipfeln ist Ruh,\nin allen Wipfeln spürest du „kaum einen "
                         "Hauch“.",
                         "\xDC"
                         "ber allen Gipfeln",
                         "Goethe",
                         "\xDC"
                         "ber allen Gipfeln ist Ruh,\r\nin allen Wipfeln sp\xFCrest du "
                         "\x84kaum einen Hauch\x93.",
                         "Speichern… Größe",
                         "Speichern\x85 Gr\xF6\xDF"
                         "e"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stanzel
