// The pieces the counts are made of: words, the rules by language, the
// table the build made, and a poem's counts kept line by line through edits.
#include "counting/poem_tally.h"
#include "localisation/interface_strings.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    for (const CountedWord& word : CountedWords(line))
        words.emplace_back(line.substr(word.begin, word.length));
    return words;
}

TEST(CountedWords, RunsOfLettersAndDigitsWithInnerApostrophesAndHyphens) {
    struct Row {
        const char* name;
        const char* line;
        std::vector<std::string> words;
    } rows[] = {
        {"apostrophes inside", "didn't we? didn’t", {"didn't", "we", "didn’t"}},
        {"hyphens inside", "a never-ending line", {"a", "never-ending", "line"}},
        {"joins at the ends", "'tis the dogs' -- bone-", {"tis", "the", "dogs", "bone"}},
        {"doubled joins break", "rock--roll", {"rock", "roll"}},
        {"digits", "in 1914, 21st", {"in", "1914", "21st"}},
        {"accents", "Árvíztűrő tükörfúrógép", {"Árvíztűrő", "tükörfúrógép"}},
        {"decomposed accent", "Cafe\xCC\x81 noir", {"Cafe\xCC\x81", "noir"}},
        {"punctuation alone", " — … ! ", {}},
        {"broken UTF-8",
         "a\xFF"
         "b",
         {"a", "b"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Words(row.line), row.words) << row.name;
}

TEST(SyllableRules, TheLanguageCodeChoosesTheRule) {
    struct Row {
        const char* code;
        CountingRule rule;
    } rows[] = {
        {"en_US", CountingRule::English},  {"en_GB", CountingRule::English},
        {"", CountingRule::English},       {"en", CountingRule::English},
        {"de_DE", CountingRule::German},   {"de_AT", CountingRule::German},
        {"de", CountingRule::German},      {"hu_HU", CountingRule::Hungarian},
        {"hu", CountingRule::Hungarian},   {"fr_FR", CountingRule::Other},
        {"es", CountingRule::Other},       {"dense", CountingRule::Other},
        {"hunspell", CountingRule::Other},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RuleForLanguage(row.code), row.rule) << row.code;
}

TEST(SyllableRules, WordsBySpelling) {
    struct Row {
        CountingRule rule;
        const char* word;
        int syllables;
    } rows[] = {
        // English: silent final e, -ed and -es, y as a vowel
        {CountingRule::English, "hope", 1},
        {CountingRule::English, "hoped", 1},
        {CountingRule::English, "hopes", 1},
        {CountingRule::English, "wanted", 2},
        {CountingRule::English, "wishes", 2},
        {CountingRule::English, "horses", 2},
        {CountingRule::English, "table", 2},
        {CountingRule::English, "free", 1},
        {CountingRule::English, "the", 1},
        {CountingRule::English, "yes", 1},
        {CountingRule::English, "myth", 1},
        {CountingRule::English, "happy", 2},
        {CountingRule::English, "o'er", 1},
        {CountingRule::English, "Wand'ring", 2},
        {CountingRule::English, "be", 1},
        // Hungarian: every vowel, adjacent ones too; y is no vowel
        {CountingRule::Hungarian, "fiaiéi", 5},
        {CountingRule::Hungarian, "hely", 1},
        {CountingRule::Hungarian, "ŐSZ", 1},
        {CountingRule::Hungarian, "s", 0},
        {CountingRule::Hungarian, "tõl", 1}, // Latin-1's stand-in for ő
        // German: diphthongs, ie and doubled vowels once; qu's u is none
        {CountingRule::German, "Feuer", 2},
        {CountingRule::German, "Häuser", 2},
        {CountingRule::German, "Poesie", 3},
        {CountingRule::German, "Seele", 2},
        {CountingRule::German, "Theater", 3},
        {CountingRule::German, "Quelle", 2},
        {CountingRule::German, "Bayern", 2},
        {CountingRule::German, "Straße", 2},
        // Other languages: groups of vowels, accented ones and other scripts
        {CountingRule::Other, "poésie", 2},
        {CountingRule::Other, "canción", 2},
        {CountingRule::Other, "молоко", 3},
        {CountingRule::Other, "θάλασσα", 3},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CountBySpelling(row.rule, LettersOf(row.word)), row.syllables) << row.word;
}

TEST(SyllableTable, TheBuiltTableKnowsTheDictionarysWords) {
    const auto table = SyllableTable::Load(STANZEL_SYLLABLE_TABLE);
    ASSERT_TRUE(table);
    EXPECT_GT(table->size(), 120000u);
    struct Row {
        const char* word;
        int syllables;
    } rows[] = {{"a", 1},         {"abandon", 3},    {"fire", 2},     {"every", 3},
                {"'tis", 1},      {"temperate", 2},  {"zucchini", 3}, {"immortality", 5},
                {"daffodils", 3}, {"shakespeare", 2}};
    for (const Row& row : rows)
        EXPECT_EQ(table->find(row.word), row.syllables) << row.word;
    EXPECT_FALSE(table->find("wnid"));
    EXPECT_FALSE(table->find(""));
    EXPECT_FALSE(table->find("Abandon")) << "the table is in small letters";
}

TEST(SyllableTable, AFileThatIsNoTableIsRefused) {
    struct Row {
        const char* name;
        const char* text;
        bool table;
    } rows[] = {
        {"sorted", "a 1\nb 2\nc 3\n", true},
        {"no final newline", "a 1\nb 2", true},
        {"empty", "", true},
        {"out of order", "b 1\na 2\n", false},
        {"twice", "a 1\na 1\n", false},
        {"no count", "a 1\nb\n", false},
        {"count not a digit", "a x\n", false},
        {"blank in the word", "a b 1\n", false},
        {"windows line ends", "a 1\r\nb 2\r\n", false},
        {"binary",
         "\x7f"
         "ELF\x02\x01\x01",
         false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SyllableTable::FromText(row.text).has_value(), row.table) << row.name;
    EXPECT_EQ(SyllableTable::FromText("a 1\nb 2")->find("b"), 2);
    EXPECT_FALSE(SyllableTable::Load("/nonexistent/english-syllables.txt"));
    EXPECT_FALSE(SyllableTable::Load("/"));
}

TEST(SyllableCounter, EnglishGoesToTheTableThenToSpelling) {
    const auto table = std::make_shared<const SyllableTable>(
        *SyllableTable::FromText("every 3\nfire 2\nsummer 2\nwell 1\n"));
    const SyllableCounter counter(CountingRule::English, table);
    struct Row {
        const char* word;
        int syllables;
    } rows[] = {
        {"Every", 3},     // letter case
        {"summer's", 2},  // a possessive of a known word
        {"summer’s", 2},  // with a curly apostrophe
        {"well-fire", 3}, // each part of a hyphenated word
        {"hopes", 1},     // unknown: by spelling
        {"1914", 0},      // digits say nothing
    };
    for (const Row& row : rows)
        EXPECT_EQ(counter.countWord(row.word), row.syllables) << row.word;
    EXPECT_FALSE(counter.approximate());
    EXPECT_TRUE(SyllableCounter(CountingRule::Other).approximate());
}

SyllableCounter English() {
    static const auto table = [] {
        auto loaded = SyllableTable::Load(STANZEL_SYLLABLE_TABLE);
        return std::make_shared<const SyllableTable>(loaded ? std::move(*loaded) : SyllableTable());
    }();
    return SyllableCounter(CountingRule::English, table);
}

PoemTally Tallied(std::string_view text) {
    PoemTally tally;
    tally.replace(0, 0, SplitParagraphs(text), English());
    return tally;
}

TEST(PoemTally, LinesStanzasAndWords) {
    struct Row {
        const char* name;
        const char* text;
        PoemTotals totals;
    } rows[] = {
        {"empty", "", {0, 0, 0}},
        {"one line", "The curfew tolls", {1, 1, 3}},
        {"two stanzas", "a b\nc\n\nd e f", {3, 2, 6}},
        {"blank lines of spaces part stanzas", "a\n \t\nb", {2, 2, 2}},
        {"several empty lines between", "a\n\n\n\nb\n", {2, 2, 2}},
        {"leading and trailing empty lines", "\n\na\nb\n\n", {2, 1, 2}},
        {"a line of marks is a line", "a\n* * *\nb", {3, 1, 2}},
        {"line separators break lines", "a\u2028b\n\nc", {3, 2, 3}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Tallied(row.text).totals(), row.totals) << row.name;
}

TEST(PoemTally, EachLineOfAParagraphCountsOnItsOwn) {
    const PoemTally tally = Tallied("Tyger Tyger\u2028burning bright\n\nIn the forests");
    ASSERT_EQ(tally.paragraphCount(), 3u);
    ASSERT_EQ(tally.lines(0).size(), 2u);
    EXPECT_EQ(tally.lines(0)[0], (LineTally{4, 2, false}));
    EXPECT_EQ(tally.lines(0)[1], (LineTally{3, 2, false}));
    EXPECT_EQ(tally.lines(1)[0], (LineTally{0, 0, true}));
    EXPECT_EQ(tally.lineNumber(0, 1), 2);
    EXPECT_EQ(tally.lineNumber(2, 0), 4);
}

// An edit replaces the paragraphs it touched; whatever the edit, the counts
// are those of the text counted afresh.
TEST(PoemTally, AnEditLeavesTheCountsOfTheWholeTextCountedAfresh) {
    struct Row {
        const char* name;
        std::size_t first, removed;
        std::vector<std::string> paragraphs;
        const char* after;
    } rows[] = {
        {"a letter typed", 1, 1, {"c d e"}, "a b\nc d e\n\nf"},
        {"Enter splits a line", 1, 1, {"c", " d"}, "a b\nc\n d\n\nf"},
        {"two lines joined", 0, 2, {"a bc d"}, "a bc d\n\nf"},
        {"a stanza pasted", 3, 0, {"g", "h", ""}, "a b\nc d\n\ng\nh\n\nf"},
        {"everything deleted", 0, 4, {""}, ""},
        {"past the end is clamped", 3, 9, {"z"}, "a b\nc d\n\nz"},
    };
    for (const Row& row : rows) {
        PoemTally tally = Tallied("a b\nc d\n\nf");
        tally.replace(row.first, row.removed, row.paragraphs, English());
        const PoemTally fresh = Tallied(row.after);
        ASSERT_EQ(tally.paragraphCount(), fresh.paragraphCount()) << row.name;
        for (std::size_t p = 0; p < fresh.paragraphCount(); ++p)
            EXPECT_TRUE(std::equal(tally.lines(p).begin(), tally.lines(p).end(),
                                   fresh.lines(p).begin(), fresh.lines(p).end()))
                << row.name << ", paragraph " << p;
        EXPECT_EQ(tally.totals(), fresh.totals()) << row.name;
    }
}

TEST(CountsStatus, OneAndManyInEachShippedLanguage) {
    struct Row {
        const char* language;
        int line;
        LineTally counts;
        PoemTotals totals;
        bool approximate;
        const char* status;
    } rows[] = {
        {"English",
         3,
         {10, 8, false},
         {14, 3, 98},
         false,
         "Line 3: 10 syllables \u00B7 14 lines, 3 stanzas, 98 words"},
        {"English",
         1,
         {1, 1, false},
         {1, 1, 1},
         false,
         "Line 1: 1 syllable \u00B7 1 line, 1 stanza, 1 word"},
        {"English",
         2,
         {0, 0, true},
         {0, 0, 0},
         false,
         "Line 2: 0 syllables \u00B7 0 lines, 0 stanzas, 0 words"},
        {"English",
         5,
         {7, 4, false},
         {12, 2, 40},
         true,
         "Line 5: about 7 syllables \u00B7 12 lines, 2 stanzas, 40 words"},
        {"German",
         3,
         {10, 8, false},
         {14, 3, 98},
         false,
         "Zeile 3: 10 Silben \u00B7 14 Zeilen, 3 Strophen, 98 Wörter"},
        {"German",
         1,
         {1, 1, false},
         {1, 1, 1},
         true,
         "Zeile 1: etwa 1 Silbe \u00B7 1 Zeile, 1 Strophe, 1 Wort"},
        {"Hungarian",
         3,
         {10, 8, false},
         {14, 3, 98},
         false,
         "3. sor: 10 szótag \u00B7 14 sor, 3 versszak, 98 szó"},
        {"Hungarian",
         1,
         {1, 1, false},
         {1, 1, 1},
         true,
         "1. sor: kb. 1 szótag \u00B7 1 sor, 1 versszak, 1 szó"},
    };
    for (const Row& row : rows) {
        const InterfaceStrings strings =
            std::string_view(row.language) == "English"
                ? InterfaceStrings::English()
                : InterfaceStrings::Load(std::filesystem::path(STANZEL_LANG_DIR) /
                                         (std::string(row.language) + ".lng"));
        EXPECT_EQ(CountsStatus(strings, row.line, row.counts, row.totals, row.approximate),
                  row.status)
            << row.language << " " << row.status;
    }
}

} // namespace
} // namespace stanzel
