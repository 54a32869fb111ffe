// Collections carried over from older systems, their text in an 8-bit code
// page: shown with every letter, saved as UTF-8, and every byte nobody saved
// left as it was.

#include "export/collection_export.h"
#include "export/export_test_support.h"
#include "localisation/interface_strings.h"
#include "search/find_in_poems.h"
#include "storage/code_page.h"
#include "storage/ini_file.h"
#include "storage/poem_store.h"
#include "storage/settings.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::EnglishContext;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// A poem as the user sees it, and its bytes in the collection's code page.
struct LegacyPoem {
    std::string title, poet, date, text;             // UTF-8
    std::string storedTitle, storedPoet, storedDate; // in the code page
    std::string storedText;
};

struct CollectionCase {
    const char* name;
    const char* codePage; // what detection must read it as
    std::vector<LegacyPoem> poems;
};

class LegacyCollection : public ::testing::TestWithParam<CollectionCase> {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "poems");
        std::string index;
        for (std::size_t i = 0; i < poems().size(); ++i) {
            const LegacyPoem& poem = poems()[i];
            const std::string id = std::to_string(i + 1);
            index += "[" + id + "]\r\ntitle=" + poem.storedTitle + "\r\npoet=" + poem.storedPoet +
                     "\r\ndate=" + poem.storedDate + "\r\n";
            WriteBytes(poemPath(id), poem.storedText);
        }
        // A poem of today, in UTF-8, among the old ones.
        index += "[9]\r\ntitle=Új vers\r\npoet=Ő\r\ndate=2024\r\n";
        WriteBytes(poemPath("9"), "Zöld ág, „új” sor\r\n");
        WriteBytes(dir / "poems.dmp", index);
    }

    const std::vector<LegacyPoem>& poems() const { return GetParam().poems; }
    std::filesystem::path poemPath(const std::string& id) const {
        return dir / "poems" / (id + ".poem");
    }
    // The bytes of one section of the index, its name line to the next.
    std::string section(const std::string& index, const std::string& id) const {
        const auto begin = index.find("[" + id + "]");
        const auto end = index.find("\r\n[", begin + 1);
        return index.substr(begin, end == std::string::npos ? std::string::npos : end + 2 - begin);
    }

    TestDir dir;
};

TEST_P(LegacyCollection, ShowsEveryLetterOfEveryPoem) {
    PoemStore store(dir.path());
    const auto rows = store.ListPoems();
    ASSERT_EQ(rows.size(), poems().size() + 1);
    for (std::size_t i = 0; i < poems().size(); ++i) {
        const LegacyPoem& expected = poems()[i];
        EXPECT_EQ(rows[i].title, expected.title);
        const PoemRecord loaded = store.LoadPoem(std::to_string(i + 1));
        EXPECT_EQ(loaded.title, expected.title);
        EXPECT_EQ(loaded.poet, expected.poet);
        EXPECT_EQ(loaded.date, expected.date);
        EXPECT_EQ(loaded.text, expected.text);
    }
    const PoemRecord today = store.LoadPoem("9");
    EXPECT_EQ(today.title, "Új vers");
    EXPECT_EQ(today.text, "Zöld ág, „új” sor\r\n");
    EXPECT_EQ(ReadBytes(dir / "settings.ini"),
              std::string("[Text]\r\ncodepage=") + GetParam().codePage + "\r\n");
}

TEST_P(LegacyCollection, SavesTheEditedPoemAsUtf8AndLeavesTheRestAsItWas) {
    const std::string indexBefore = ReadBytes(dir / "poems.dmp");
    PoemStore store(dir.path());
    PoemRecord poem = store.LoadPoem("1");
    store.SavePoem(1, poem.title, poem.poet, poem.date, poem.text + "!");

    const std::string index = ReadBytes(dir / "poems.dmp");
    const LegacyPoem& first = poems()[0];
    EXPECT_EQ(section(index, "1"), "[1]\r\ntitle=" + first.title + "\r\npoet=" + first.poet +
                                       "\r\ndate=" + first.date + "\r\n");
    EXPECT_EQ(ReadBytes(poemPath("1")), first.text + "!");
    for (std::size_t i = 1; i < poems().size(); ++i) {
        const std::string id = std::to_string(i + 1);
        EXPECT_EQ(section(index, id), section(indexBefore, id)) << id;
        EXPECT_EQ(ReadBytes(poemPath(id)), poems()[i].storedText) << id;
    }
    EXPECT_EQ(section(index, "9"), section(indexBefore, "9"));
    EXPECT_EQ(index.find(kReplacement), std::string::npos);
    EXPECT_TRUE(IsUtf8(section(index, "1")));
    // Read again by the next run, the saved poem is as it was typed.
    PoemStore next(dir.path());
    EXPECT_EQ(next.LoadPoem("1").title, first.title);
    EXPECT_EQ(next.LoadPoem("2").text, poems()[1].text);
}

TEST_P(LegacyCollection, ASaveWithTheSettingsKeepsTheCodePage) {
    PoemStore store(dir.path());
    const PoemRecord poem = store.LoadPoem("2");
    // The window's save: settings read before anything needed the code page.
    WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=10\r\n");
    PoemStore fresh(dir.path());
    IniFile settings(SettingsFile(fresh.folder()));
    settings.HoldWrites();
    WriteSetting(settings, setting::lastSave, "now");
    EXPECT_EQ(fresh.LoadPoem("2").text, poem.text);
    fresh.SavePoem(2, poem.title, poem.poet, poem.date, poem.text, &settings);
    EXPECT_NE(ReadBytes(dir / "settings.ini").find(std::string("codepage=") + GetParam().codePage),
              std::string::npos);
}

TEST_P(LegacyCollection, ExportsAndFindsEveryLetter) {
    PoemStore store(dir.path());
    const CollectionDocument document =
        BuildCollectionDocument(store, ExportFormat::Xhtml, EnglishContext(), {});
    const std::string_view bytes = document.bytes.view();
    EXPECT_EQ(bytes.find(kReplacement), std::string::npos);
    for (const LegacyPoem& poem : poems()) {
        EXPECT_NE(bytes.find(poem.poet), std::string::npos) << poem.poet;
        EXPECT_NE(bytes.find(poem.text.substr(0, poem.text.find('\r'))), std::string::npos);
    }
    CollectionText text;
    text.Follow(store.ListPoems());
    text.ReadWaiting(store, 100);
    EXPECT_EQ(text.Find(FindQuery(poems()[0].poet)).size(), 1u);
}

LegacyPoem Hungarian1250() {
    return {"Végén",
            "Petőfi Sándor",
            "1848. március",
            "Talpra magyar, hí a haza!\r\nItt az idő, most vagy soha!\r\n„Rabok legyünk” – vagy "
            "szabadok?",
            "V\xE9g\xE9n",
            "Pet\xF5"
            "fi S\xE1ndor",
            "1848. m\xE1rcius",
            "Talpra magyar, h\xED a haza!\r\nItt az id\xF5, most vagy soha!\r\n\x84Rabok "
            "legy\xFCnk\x94 \x96 vagy szabadok?"};
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, LegacyCollection,
    ::testing::Values(
        CollectionCase{
            "HungarianInWindows1250",
            "WINDOWS-1250",
            {Hungarian1250(),
             {"Őszi éj", "Arany János", "1850", "Ül a fűzfa ágán ősz varjú,\r\nfütyül a szél.",
              "\xD5szi \xE9j", "Arany J\xE1nos", "1850",
              "\xDCl a f\xFBz"
              "fa \xE1g\xE1n \xF5sz varj\xFA,\r\nf\xFCty\xFCl a sz\xE9l."}}},
        CollectionCase{"HungarianInIso8859_2",
                       "ISO-8859-2",
                       {{"Tűz és víz", "Ady Endre", "1906",
                         "Elmúlt az ősz, a fák levelei hullanak,\r\nés a szél fütyül a kertben, "
                         "ahol egykor ültünk.",
                         "T\xFBz \xE9s v\xEDz", "Ady Endre", "1906",
                         "Elm\xFAlt az \xF5sz, a f\xE1k levelei hullanak,\n\xE9s a sz\xE9l "
                         "f\xFCty\xFCl a kertben, ahol egykor \xFClt\xFCnk."},
                        {"Őszi sóhaj", "Kölcsey Ferenc", "1823",
                         "Hűs szellő fúj a réten, a pásztor összeterelte a nyájat,\r\n"
                         "és tüzet rakott a kunyhó előtt.",
                         "\xD5szi s\xF3haj", "K\xF6lcsey Ferenc", "1823",
                         "H\xFBs szell\xF5 f\xFAj a r\xE9ten, a p\xE1sztor \xF6sszeterelte a "
                         "ny\xE1jat,\r\n\xE9s t\xFCzet rakott a kunyh\xF3 el\xF5tt."}}},
        CollectionCase{
            "GermanAndFrenchInWindows1252",
            "WINDOWS-1252",
            {{"Über allen Gipfeln", "Goethe", "1780",
              "Über allen Gipfeln ist Ruh,\r\nin allen Wipfeln spürest du „kaum einen Hauch“.",
              "\xDC"
              "ber allen Gipfeln",
              "Goethe", "1780",
              "\xDC"
              "ber allen Gipfeln ist Ruh,\r\nin allen Wipfeln sp\xFCrest du \x84kaum einen "
              "Hauch\x93."},
             {"Chanson d’automne", "Verlaine", "1866",
              "Les sanglots longs des violons de l’automne\r\nblessent mon cœur d’une langueur "
              "monotone. Où ? À l’été.",
              "Chanson d\x92"
              "automne",
              "Verlaine", "1866",
              "Les sanglots longs des violons de l\x92"
              "automne\r\nblessent mon c\x9Cur d\x92une langueur monotone. O\xF9 ? \xC0 "
              "l\x92\xE9t\xE9."}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Language files carried over with the collection are in its code page too.
TEST(LegacyLanguageFile, ShowsEveryLetterAndStaysAsItWas) {
    TestDir dir;
    std::filesystem::create_directory(dir / "lang");
    const std::string file =
        "[language]\r\nsave=Ment\xE9s\r\npoem=Vers sz\xF6vege\r\n"
        "savemsg=A(z) \x84%s\x94 verset elmentettem, \xF5rz\xF6m \xFBz\xF6tt.\r\n";
    WriteBytes(dir / "lang" / "Magyar.lng", file);
    PoemStore store(dir.path());
    const auto strings = InterfaceStrings::Load(dir / "lang" / "Magyar.lng", &store.codePage());
    EXPECT_EQ(strings["save"], "Mentés");
    EXPECT_EQ(strings["poem"], "Vers szövege");
    EXPECT_EQ(strings["savemsg"], "A(z) „%s” verset elmentettem, őrzöm űzött.");
    EXPECT_EQ(ReadBytes(dir / "lang" / "Magyar.lng"), file);
    EXPECT_EQ(ReadBytes(dir / "settings.ini"), "[Text]\r\ncodepage=WINDOWS-1250\r\n");
}

} // namespace
} // namespace stanzel
