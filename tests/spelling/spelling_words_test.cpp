// Words against Debian's real dictionaries: what is marked, how lines split,
// what is suggested, and dictionaries in another character set or broken.
#include "spelling/spell_checker.h"
#include "spelling/spelling_support.h"
#include "spelling/suggestion_order.h"
#include "spelling/word_splitter.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace stanzel {
namespace {

using namespace stanzel::testing;



// Each dictionary is read once for the whole suite.
SpellChecker& Checker(const std::string& code) {
    static std::map<std::string, std::unique_ptr<SpellChecker>> loaded;
    auto& checker = loaded[code];
    if (!checker)
        checker = std::make_unique<SpellChecker>(SystemDictionary(code));
    return *checker;
}

struct WordRow {
    const char* name;
    const char* code;
    const char* word;
    bool known;
};

class KnownWords : public ::testing::TestWithParam<WordRow> {};

TEST_P(KnownWords, AreTheDictionarysOwn) {
    const WordRow& row = GetParam();
    EXPECT_EQ(Checker(row.code).knows(row.word), row.known) << row.word;
}

INSTANTIATE_TEST_SUITE_P(
    Dictionaries, KnownWords,
    ::testing::Values(
        WordRow{"EnglishWord", "en_US", "night", true},
        WordRow{"EnglishSlip", "en_US", "Nite", false},
        WordRow{"EnglishCapitalAtLineStart", "en_US", "Night", true},
        WordRow{"EnglishNameInSmallLetters", "en_US", "london", false},
        WordRow{"EnglishName", "en_US", "London", true},
        WordRow{"EnglishStraightApostrophe", "en_US", "didn't", true},
        WordRow{"EnglishCurlyApostrophe", "en_US", "didn\u2019t", true},
        WordRow{"EnglishBrokenContraction", "en_US", "did'nt", false},
        WordRow{"BritishSpellingInAmerican", "en_US", "colour", false},
        WordRow{"FrenchAccentsAreNotAmericanEnglish", "en_US", "café", false},
        WordRow{"GermanSharpS", "de_DE", "Straße", true},
        WordRow{"GermanSwissSpellingInGerman", "de_DE", "Strasse", false},
        WordRow{"GermanCompound", "de_DE", "Donaudampfschiff", true},
        WordRow{"GermanCompoundOfThree", "de_DE", "Kindergartenplatz", true},
        WordRow{"GermanUmlauts", "de_DE", "Gänsefüßchen", true},
        WordRow{"GermanUmlautLost", "de_DE", "uber", false},
        WordRow{"GermanNounInSmallLetters", "de_DE", "haus", false},
        WordRow{"HungarianAccented", "hu_HU", "körte", true},
        WordRow{"HungarianWrongAccent", "hu_HU", "kőrte", false},
        WordRow{"HungarianCompound", "hu_HU", "hajnalcsillag", true},
        WordRow{"HungarianSuffixes", "hu_HU", "legeslegszebbek", true},
        WordRow{"HungarianCountry", "hu_HU", "Magyarország", true},
        WordRow{"HungarianCountryInSmallLetters", "hu_HU", "magyarország", false},
        WordRow{"HungarianAccentsLost", "hu_HU", "ablakuvegeken", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct SplitRow {
    const char* name;
    const char* wordCharacters;
    const char* line;
    std::vector<std::string> words;
};

class SplitLines : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitLines, IntoTheWordsToCheck) {
    const SplitRow& row = GetParam();
    const std::string line = row.line;
    std::vector<std::string> words;
    for (const WordSpan& word : WordSplitter(row.wordCharacters).split(line))
        words.push_back(line.substr(word.begin, word.length));
    EXPECT_EQ(words, row.words);
}

INSTANTIATE_TEST_SUITE_P(
    Words, SplitLines,
    ::testing::Values(
        SplitRow{"Punctuation", "", "Oh, wind! (a rose)", {"Oh", "wind", "a", "rose"}},
        SplitRow{"ApostrophesInside", "", "I didn't, you didn\u2019t", {"I", "didn't", "you", "didn\u2019t"}},
        SplitRow{"QuotesAround", "", "'Tis \u2018night\u2019 'here'", {"Tis", "night", "here"}},
        SplitRow{"Accents", "", "Őszi éjjel izzik a galagonya", {"Őszi", "éjjel", "izzik", "a", "galagonya"}},
        SplitRow{"CombiningAccent", "", "cafe\u0301 noir", {"cafe\u0301", "noir"}},
        SplitRow{"NumbersLeftAlone", "0123456789", "21st of 12 roses, 3am", {"of", "roses"}},
        SplitRow{"DigitsNoWordCharacter", "", "Seite3", {"Seite"}},
        SplitRow{"CapitalsLeftAlone", "", "NASA and UNESCO, I say", {"and", "I", "say"}},
        SplitRow{"Addresses", "", "see https://x.org/a-b or www.rose.hu, mail me@poem.org now",
                 {"see", "or", "mail", "now"}},
        SplitRow{"HyphenAsWordCharacter", "-.", "Donau-Dampfschiff -- fahrt", {"Donau-Dampfschiff", "fahrt"}},
        SplitRow{"HyphenOtherwise", "", "well-known", {"well", "known"}},
        SplitRow{"DotsInside", "ß-.", "z.B. am Ende.", {"z.B", "am", "Ende"}},
        SplitRow{"OtherScripts", "", "Ёлка и Άστρο", {"Ёлка", "и", "Άστρο"}},
        SplitRow{"BrokenUtf8", "", "a\xFFrose", {"a", "rose"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WordSpans, RememberAFullStopForAbbreviations) {
    const auto words = WordSplitter().split("usw. und so");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_TRUE(words[0].followedByFullStop);
    EXPECT_FALSE(words[1].followedByFullStop);
    EXPECT_TRUE(Checker("de_DE").knows("usw. und so", words[0]));
}

TEST(WordSpans, FollowTheDictionarysWordCharacters) {
    // Hungarian counts the hyphen a word character, English does not.
    const std::string line = "ős-ember";
    EXPECT_EQ(Checker("hu_HU").splitter().split(line).size(), 1u);
    EXPECT_EQ(Checker("en_US").splitter().split(line).size(), 2u);
}

struct SuggestionRow {
    const char* name;
    const char* code;
    const char* word;
    const char* first;
};

class FirstSuggestion : public ::testing::TestWithParam<SuggestionRow> {};

TEST_P(FirstSuggestion, IsTheWordMeant) {
    const SuggestionRow& row = GetParam();
    const auto suggestions = Checker(row.code).suggest(row.word);
    ASSERT_FALSE(suggestions.empty()) << row.word;
    EXPECT_EQ(suggestions.front(), row.first);
    EXPECT_LE(suggestions.size(), kMostSuggestions);
}

INSTANTIATE_TEST_SUITE_P(
    CommonSlips, FirstSuggestion,
    ::testing::Values(SuggestionRow{"SoundSpelling", "en_US", "Nite", "Night"},
                      SuggestionRow{"SwappedLetters", "en_US", "Wnid", "Wind"},
                      SuggestionRow{"SwappedInSmallLetters", "en_US", "teh", "the"},
                      SuggestionRow{"Through", "en_US", "thru", "through"},
                      SuggestionRow{"GermanSharpS", "de_DE", "Strasse", "Straße"},
                      SuggestionRow{"GermanUmlaut", "de_DE", "uber", "über"},
                      SuggestionRow{"HungarianAccent", "hu_HU", "kőrte", "körte"},
                      SuggestionRow{"HungarianAccentsLost", "hu_HU", "ablakuvegeken", "ablaküvegeken"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Suggestions, KeepTheFirstLetterFirstAndLeaveOutDuplicates) {
    EXPECT_EQ(OrderSuggestions("Wnid", {}, {"Enid", "Wind", "Wind"}),
              (std::vector<std::string>{"Wind", "Enid"}));
    EXPECT_EQ(OrderSuggestions("ősz", {}, {"usz", "osz", "ősz"}),
              (std::vector<std::string>{"osz", "usz"}));
    const std::vector<std::string> many{"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8"};
    EXPECT_EQ(OrderSuggestions("ax", {"ay"}, many).size(), kMostSuggestions);
    EXPECT_EQ(OrderSuggestions("ax", {"ay"}, many).front(), "ay");
    EXPECT_EQ(Respellings("en_US", "Tonite"), (std::vector<std::string>{"Tonight"}));
    EXPECT_TRUE(Respellings("de_DE", "Nite").empty());
}

// A dictionary written in ISO 8859-2, as older Hungarian ones are.
TEST(DictionaryEncoding, WordsGoInAndComeOutAsUtf8) {
    TestDir dir;
    WriteBytes(dir / "xx_HU.aff", "SET ISO8859-2\nTRY \xF5\xF6oe\nWORDCHARS -\n");
    // "őszi", "körte", "tőr" in ISO 8859-2.
    WriteBytes(dir / "xx_HU.dic", "3\n\xF5szi\nk\xF6rte\nt\xF5r\n");
    SpellChecker checker({"xx_HU", dir / "xx_HU.aff", dir / "xx_HU.dic"});
    EXPECT_TRUE(checker.knows("őszi"));
    EXPECT_TRUE(checker.knows("körte"));
    EXPECT_FALSE(checker.knows("kőrte"));
    // A character the dictionary's set lacks makes no known word.
    EXPECT_FALSE(checker.knows("kör\u4E2Dte"));
    const auto suggestions = checker.suggest("kőrte");
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions.front(), "körte");
    EXPECT_EQ(checker.splitter().split("ős-tőr").size(), 1u);
}

TEST(BrokenDictionaries, AreRefusedWithTheirReason) {
    TestDir dir;
    WriteBytes(dir / "aa_AA.aff", "SET UTF-8\n");
    WriteBytes(dir / "aa_AA.dic", "\x7F" "ELF binary, no word count\n");
    EXPECT_THROW(SpellChecker({"aa_AA", dir / "aa_AA.aff", dir / "aa_AA.dic"}), DictionaryError);
    EXPECT_THROW(SpellChecker({"bb_BB", dir / "bb_BB.aff", dir / "bb_BB.dic"}), DictionaryError);
    std::filesystem::create_directory(dir / "cc_CC.dic");
    WriteBytes(dir / "cc_CC.aff", "SET UTF-8\n");
    EXPECT_THROW(SpellChecker({"cc_CC", dir / "cc_CC.aff", dir / "cc_CC.dic"}), DictionaryError);
    WriteBytes(dir / "dd_DD.aff", "SET NO-SUCH-CHARSET\n");
    WriteBytes(dir / "dd_DD.dic", "1\nword\n");
    EXPECT_THROW(SpellChecker({"dd_DD", dir / "dd_DD.aff", dir / "dd_DD.dic"}), DictionaryError);
}

} // namespace
} // namespace stanzel
