#include "localisation/interface_strings.h"
#include "storage/ini_file.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <set>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;

TEST(InterfaceStrings, TableHoldsEachKeyOnceButSave) {
    std::set<std::string_view> keys;
    int captions = 0;
    for (const auto& row : InterfaceStringTable()) {
        keys.insert(row.key);
        captions += row.use == StringUse::Caption;
    }
    EXPECT_EQ(InterfaceStringTable().size(), 121u);
    EXPECT_EQ(keys.size(), 120u);
    EXPECT_EQ(captions, 52);
    EXPECT_EQ(InterfaceStrings::English()["engineinfo"], "Format:  name|url");
}

TEST(InterfaceStrings, MissingFileGivesEnglishThroughout) {
    TestDir dir;
    const auto strings = InterfaceStrings::Load(LanguageFilePath(dir.path(), "English"));
    for (const auto& row : InterfaceStringTable())
        EXPECT_EQ(strings[row.key], row.english) << row.key;
    EXPECT_EQ(strings["nonsense"], "");
}

TEST(InterfaceStrings, FileTextsWinKeyByKey) {
    TestDir dir;
    WriteBytes(dir / "de.lng", "[Language]\r\nNEW=Neu\r\nnetsec=Netzsuche\r\ndelete=\r\n"
                               "locale=de\r\n[other]\r\nsave=Ignored\r\n");
    const auto strings = InterfaceStrings::Load(dir / "de.lng");
    EXPECT_EQ(strings["new"], "Neu"); // keys match in any letter case
    EXPECT_EQ(strings["netsec"], "Netzsuche");
    EXPECT_EQ(strings["net"], "Search Online"); // shares its English text only
    EXPECT_EQ(strings["delete"], "");           // present but empty: shown empty
    EXPECT_EQ(strings["save"], "Save");         // other sections do not count
    EXPECT_EQ(strings.locale(), "de");
    EXPECT_EQ(strings["locale"], ""); // no interface string

    EXPECT_EQ(InterfaceStrings::Load(dir / "missing.lng").locale(), "");
    EXPECT_EQ(InterfaceStrings::English().locale(), "");
}

// The shipped translations name their locale, so that the toolkit's own
// buttons and dialogs speak the language whatever the desktop's locale.
TEST(InterfaceStrings, ShippedLanguagesNameTheirLocale) {
    const std::filesystem::path shipped = STANZEL_LANG_DIR;
    EXPECT_EQ(InterfaceStrings::Load(shipped / "German.lng").locale(), "de");
    EXPECT_EQ(InterfaceStrings::Load(shipped / "Hungarian.lng").locale(), "hu");
}

// A key the shipped translations lack would show English in the middle of
// German or Hungarian; a lost "%s" would drop the name from a message.
TEST(InterfaceStrings, ShippedLanguagesTranslateEveryKey) {
    for (const char* language : {"German", "Hungarian"}) {
        const IniFile file(std::filesystem::path(STANZEL_LANG_DIR) /
                           (std::string(language) + ".lng"));
        for (const auto& row : InterfaceStringTable()) {
            const std::string text = file.ReadText(kLanguageSection, row.key, "\n");
            EXPECT_NE(text, "\n") << language << " lacks " << row.key;
            EXPECT_EQ(text.find("%s") != std::string::npos,
                      row.english.find("%s") != std::string_view::npos)
                << language << " " << row.key;
        }
    }
}

// What is said before the window opens speaks the collection's language.
TEST(InterfaceStrings, TheCollectionsLanguageIsTheOneItsSettingsName) {
    TestDir dir;
    std::filesystem::create_directory(dir / "lang");
    WriteBytes(dir / "lang" / "Magyar.lng", "[language]\r\nalreadyopen=Már nyitva: %s\r\n");
    EXPECT_EQ(InterfaceStrings::OfCollection(dir.path())["alreadyopen"],
              "Stanzel is already open on the collection in %s.");
    WriteBytes(dir / "settings.ini", "[Language]\r\ncurrent=Magyar\r\n");
    EXPECT_EQ(InterfaceStrings::OfCollection(dir.path())["alreadyopen"], "Már nyitva: %s");
}

TEST(InterfaceStrings, LanguageNamesStayInsideTheLanguageFolder) {
    const std::filesystem::path programDir = "/opt/stanzel";
    EXPECT_EQ(LanguageFilePath(programDir, "Deutsch"), "/opt/stanzel/lang/Deutsch.lng");
    for (const char* odd : {"../settings", "a/b", "", "..", "x\\y"})
        EXPECT_EQ(LanguageFilePath(programDir, odd).parent_path(), "/opt/stanzel/lang") << odd;
    EXPECT_NE(LanguageFilePath(programDir, "../settings").filename(), "settings.lng");
}

struct TemplateCase {
    const char* name;
    std::string_view templateText;
    std::string_view expected;
};

void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatTemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(FormatTemplateTest, InsertsTheName) {
    EXPECT_EQ(FormatTemplate(GetParam().templateText, "Rain"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, FormatTemplateTest,
    ::testing::Values(TemplateCase{"English", "Poems \"%s\" saved.", "Poems \"Rain\" saved."},
                      TemplateCase{"NoDirective", "Saved.", "Saved."},
                      TemplateCase{"OnlyTheFirst", "%s and %s", "Rain and %s"},
                      TemplateCase{"OtherDirectivesAsTheyStand", "%d%% %n %s", "%d%% %n Rain"},
                      TemplateCase{"AtTheEnd", "Saved: %s", "Saved: Rain"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatTemplate, NameIsNeverReadAsADirective) {
    EXPECT_EQ(FormatTemplate("<%s>", "100%s %d"), "<100%s %d>");
}

} // namespace
} // namespace stanzel
