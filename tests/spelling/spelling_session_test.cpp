// The session the window checks through: the poem's language, loading on the
// worker, the user's own words and the words ignored for the run.
#include "spelling/poem_language.h"
#include "spelling/spelling_support.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using namespace stanzel::testing;



std::vector<InstalledDictionary> Installed(std::initializer_list<const char*> codes) {
    std::vector<InstalledDictionary> list;
    for (const char* code : codes)
        list.push_back({code, std::string(code) + ".aff", std::string(code) + ".dic"});
    return list;
}

struct LocaleRow {
    const char* name;
    const char* locale;
    std::optional<std::string> dictionary;
};

class InterfaceLocale : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(InterfaceLocale, PicksItsLanguagesDictionary) {
    const auto installed = Installed({"de_AT", "de_BE", "de_DE", "en_GB", "en_US", "hu_HU", "pt_BR"});
    EXPECT_EQ(DictionaryForLocale(GetParam().locale, installed), GetParam().dictionary);
}

INSTANTIATE_TEST_SUITE_P(
    Dictionaries, InterfaceLocale,
    ::testing::Values(LocaleRow{"EnglishHasNoLocale", "", "en_US"},
                      LocaleRow{"German", "de", "de_DE"}, LocaleRow{"Hungarian", "hu", "hu_HU"},
                      LocaleRow{"ExactCode", "de_AT", "de_AT"},
                      LocaleRow{"WrittenWithAHyphen", "en-GB", "en_GB"},
                      LocaleRow{"WithCharacterSet", "de_BE.UTF-8", "de_BE"},
                      LocaleRow{"OtherCountryOfTheLanguage", "pt", "pt_BR"},
                      LocaleRow{"NotInstalled", "fr", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PoemLanguage, ComesFromTheSettingOrTheInterface) {
    const auto installed = Installed({"de_DE", "en_US", "hu_HU"});
    EXPECT_EQ(PoemLanguage::FromSetting("", "hu", installed).code(), "hu_HU");
    EXPECT_EQ(PoemLanguage::FromSetting("de_DE", "hu", installed).code(), "de_DE");
    EXPECT_TRUE(PoemLanguage::FromSetting("off", "hu", installed).off());
    // A dictionary since removed gives way to the interface's.
    EXPECT_EQ(PoemLanguage::FromSetting("fr_FR", "", installed).code(), "en_US");
    EXPECT_TRUE(PoemLanguage::FromSetting("", "fr", installed).off());
    EXPECT_EQ(PoemLanguage("de_DE").settingText(), "de_DE");
    EXPECT_EQ(PoemLanguage().settingText(), "off");
}

TEST(InstalledDictionaries, AreThePairsInTheFolders) {
    TestDir first;
    TestDir second;
    for (const char* name : {"en_US.aff", "en_US.dic", "xx.aff", "hyph_de.dic", "de_DE.aff",
                             "de_DE.dic", "README"})
        WriteBytes(first / name, "1\n");
    for (const char* name : {"de_DE.aff", "de_DE.dic", "hu_HU.aff", "hu_HU.dic"})
        WriteBytes(second / name, "1\n");
    const auto found = FindDictionaries({second.path(), first.path(), first / "missing"});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].code, "de_DE");
    EXPECT_EQ(found[0].wordFile, second / "de_DE.dic"); // the first folder's
    EXPECT_EQ(found[1].code, "en_US");
    EXPECT_EQ(found[2].code, "hu_HU");
    // Debian's three, where their packages put them.
    const auto system = FindDictionaries(SystemDictionaryFolders());
    for (const char* code : {"de_DE", "en_US", "hu_HU"})
        EXPECT_TRUE(std::any_of(system.begin(), system.end(),
                                [&](const auto& d) { return d.code == code; }))
            << code;
}

class Session : public ::testing::Test {
protected:
    std::unique_ptr<SpellingSession> open(const TestDir& collection, const char* code) {
        auto session = std::make_unique<SpellingSession>(
            collection.path(), FindDictionaries(SystemDictionaryFolders()), [] {});
        session->choose(PoemLanguage(code));
        EXPECT_TRUE(WaitForDictionary(*session).checkerChanged);
        return session;
    }
    static std::vector<std::string> marked(SpellingSession& session, const std::string& line) {
        std::vector<std::string> words;
        for (const WordSpan& word : session.misspelt(line))
            words.push_back(line.substr(word.begin, word.length));
        return words;
    }
    TestDir collection;
};

TEST_F(Session, MarksNothingUntilTheDictionaryHasLoaded) {
    SpellingSession session(collection.path(), FindDictionaries(SystemDictionaryFolders()), [] {});
    EXPECT_TRUE(session.misspelt("Wnid and Nite").empty());
    session.choose(PoemLanguage("en_US"));
    EXPECT_EQ(session.language().code(), "en_US");
    WaitForDictionary(session);
    EXPECT_EQ(marked(session, "The Wnid, the Nite; didn\u2019t NASA see 3 www.x.org?"),
              (std::vector<std::string>{"Wnid", "Nite"}));
    session.choose(PoemLanguage());
    EXPECT_TRUE(session.misspelt("Wnid").empty());
    EXPECT_TRUE(session.language().off());
}

TEST_F(Session, OwnWordsSurviveARestartAndStayInTheirCollection) {
    {
        auto session = open(collection, "hu_HU");
        EXPECT_EQ(marked(*session, "Stanzelke dalol"), (std::vector<std::string>{"Stanzelke"}));
        EXPECT_FALSE(session->addToDictionary("Stanzelke"));
        EXPECT_TRUE(marked(*session, "Stanzelke dalol").empty());
    }
    EXPECT_EQ(ReadBytes(collection / std::string(kOwnWordsFileName)), "Stanzelke\n");
    // Another language of the same collection knows it too.
    auto restarted = open(collection, "en_US");
    EXPECT_TRUE(marked(*restarted, "Stanzelke sings").empty());
    TestDir other;
    auto elsewhere = open(other, "en_US");
    EXPECT_EQ(marked(*elsewhere, "Stanzelke sings"), (std::vector<std::string>{"Stanzelke"}));
}

TEST_F(Session, OwnWordsKeepWhatWasWrittenByHand) {
    WriteBytes(collection / std::string(kOwnWordsFileName), "\xEF\xBB\xBFGyula\r\n\r\n  Ady \nGyula");
    auto session = open(collection, "en_US");
    EXPECT_EQ(session->ownWords().words(), (std::vector<std::string>{"Gyula", "Ady"}));
    EXPECT_TRUE(marked(*session, "Ady Gyula").empty());
    EXPECT_FALSE(session->addToDictionary("Zrínyi"));
    EXPECT_FALSE(session->addToDictionary("Ady")); // already there: nothing written
    EXPECT_EQ(ReadBytes(collection / std::string(kOwnWordsFileName)),
              "\xEF\xBB\xBFGyula\r\n\r\n  Ady \nGyula\nZrínyi\n");
}

TEST_F(Session, AWordListThatCannotBeWrittenChangesNothing) {
    auto session = open(collection, "en_US");
    // A folder in the list's place: it can be neither read nor replaced.
    std::filesystem::create_directory(collection / std::string(kOwnWordsFileName));
    EXPECT_TRUE(session->addToDictionary("Wnid"));
    EXPECT_EQ(marked(*session, "Wnid"), (std::vector<std::string>{"Wnid"}));
    EXPECT_TRUE(session->ownWords().words().empty());
}

TEST_F(Session, IgnoredWordsLastForTheRunOnly) {
    {
        auto session = open(collection, "de_DE");
        session->ignore("Wnid");
        EXPECT_TRUE(marked(*session, "Der Wnid").empty());
        // Choosing another language keeps them ignored.
        session->choose(PoemLanguage("en_US"));
        WaitForDictionary(*session);
        EXPECT_TRUE(marked(*session, "The Wnid").empty());
    }
    EXPECT_FALSE(std::filesystem::exists(collection / std::string(kOwnWordsFileName)));
    auto next = open(collection, "en_US");
    EXPECT_EQ(marked(*next, "The Wnid"), (std::vector<std::string>{"Wnid"}));
}

TEST_F(Session, SuggestionsComeFromTheWorker) {
    auto session = open(collection, "en_US");
    const auto ticket = session->askSuggestions("Nite");
    const auto found = session->suggestions(ticket, std::chrono::seconds(10));
    ASSERT_TRUE(found);
    ASSERT_FALSE(found->empty());
    EXPECT_EQ(found->front(), "Night");
    // Given once; an older question is no longer answered.
    EXPECT_FALSE(session->suggestions(ticket, std::chrono::milliseconds(0)));
    const auto older = session->askSuggestions("Wnid");
    const auto newer = session->askSuggestions("teh");
    EXPECT_EQ(session->suggestions(newer, std::chrono::seconds(10))->front(), "the");
    EXPECT_FALSE(session->suggestions(older, std::chrono::milliseconds(0)));
}

TEST_F(Session, ABrokenDictionaryLeavesSpellingOff) {
    TestDir folder;
    WriteBytes(folder / "xx_XX.aff", "SET UTF-8\n");
    WriteBytes(folder / "xx_XX.dic", "not a dictionary\n");
    SpellingSession session(collection.path(), FindDictionaries({folder.path()}), [] {});
    session.choose(PoemLanguage("xx_XX"));
    const auto results = WaitForDictionary(session);
    EXPECT_EQ(results.failedDictionary, "xx_XX");
    EXPECT_FALSE(session.checking());
    EXPECT_TRUE(session.language().off());
    EXPECT_TRUE(session.misspelt("anything at all").empty());
}

} // namespace
} // namespace stanzel
