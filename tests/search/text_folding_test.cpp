#include "search/text_folding.h"

#include <gtest/gtest.h>
#include <random>

namespace stanzel {
namespace {

struct FoldCase {
    const char* name;
    std::string_view text;
    std::string_view folded;
};

class TextFoldingTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(TextFoldingTest, FoldsCaseAndAccents) {
    EXPECT_EQ(FoldText(GetParam().text), GetParam().folded);
    // Folding twice changes nothing more, so a folded query meets folded text.
    EXPECT_EQ(FoldText(GetParam().folded), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, TextFoldingTest,
    ::testing::Values(FoldCase{"AsciiCase", "Night RIVER, 1906.", "night river, 1906."},
                      FoldCase{"Hungarian", "ÁRVÍZTŰRŐ tükörfúrógép Őszi éjszaka",
                               "arvizturo tukorfurogep oszi ejszaka"},
                      FoldCase{"GermanUmlauts", "Mädchen ÜBER Gefühl Öl", "madchen uber gefuhl ol"},
                      FoldCase{"GermanSharpS", "Straße GROẞ", "strasse gross"},
                      FoldCase{"French", "Élève forêt CHÂTEAU Noël garçon Œuvre cœur",
                               "eleve foret chateau noel garcon oeuvre coeur"},
                      FoldCase{"NordicAndIcelandic", "Ærø Åse søster Þór", "aero ase soster thor"},
                      FoldCase{"PolishCzechRomanian", "Łąka Źródło Čeština ŘÍJEN Țară Și",
                               "laka zrodlo cestina rijen tara si"},
                      FoldCase{"SpanishAndTurkish", "Señora NIÑO İstanbul ılık",
                               "senora nino istanbul ilik"},
                      FoldCase{"CombiningAccents", "E\xCC\x81te\xCC\x81", "ete"},
                      FoldCase{"Greek", "ΆΣΤΡΟ Οδυσσέας", "αστρο οδυσσεασ"},
                      FoldCase{"Cyrillic", "МИР Ёлка Їжак", "мир елка їжак"},
                      FoldCase{"OthersStay", "× ÷ € 漢字 ŋ", "× ÷ € 漢字 ŋ"},
                      FoldCase{"LineBreaksStay", "A\r\nB\nC\rD", "a\r\nb\nc\rd"}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes that are no UTF-8 pass through one by one; what follows them folds.
INSTANTIATE_TEST_SUITE_P(
    InvalidUtf8, TextFoldingTest,
    ::testing::Values(FoldCase{"StrayByte",
                               "A\xFF"
                               "B",
                               "a\xFF"
                               "b"},
                      FoldCase{"CutShortAtEnd", "X\xC3", "x\xC3"},
                      FoldCase{"CutShortBeforeAscii", "\xC3(\xC3\x89", "\xC3(e"},
                      FoldCase{"Overlong",
                               "\xC0\xAF"
                               "A",
                               "\xC0\xAF"
                               "a"},
                      FoldCase{"Surrogate",
                               "\xED\xA0\x80"
                               "E",
                               "\xED\xA0\x80"
                               "e"},
                      FoldCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextFolding, TracesEachFoldedByteToItsLetter) {
    const auto traced = FoldTraced("Aß\xFFé");
    EXPECT_EQ(traced.folded, "ass\xFF"
                             "e");
    EXPECT_EQ(traced.sourceBegin, (std::vector<std::uint32_t>{0, 1, 1, 3, 4}));
    EXPECT_EQ(traced.sourceEnd, (std::vector<std::uint32_t>{1, 3, 3, 4, 6}));
}

TEST(TextFolding, AnyBytesTraceBackInsideTheirText) {
    // Poem files may hold anything; every folded byte must point into them.
    std::mt19937 rng(16);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(round % 40), '\0');
        for (char& c : text)
            c = static_cast<char>(round % 2 ? byte(rng) : 0x80 + byte(rng) % 0x50);
        const auto traced = FoldTraced(text);
        ASSERT_EQ(traced.folded, FoldText(text));
        ASSERT_EQ(traced.sourceBegin.size(), traced.folded.size());
        for (std::size_t i = 0; i < traced.folded.size(); ++i) {
            ASSERT_LT(traced.sourceBegin[i], traced.sourceEnd[i]);
            ASSERT_LE(traced.sourceEnd[i], text.size());
        }
    }
}

TEST(TextFolding, NoCharacterFoldsLongerThanItself) {
    // The folding writes into room the size of its input.
    std::string text;
    for (char32_t cp = 0x80; cp < 0x30000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        text.clear();
        if (cp < 0x800) {
            text += static_cast<char>(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            text += static_cast<char>(0xE0 | (cp >> 12));
            text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (cp >> 18));
            text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        text += static_cast<char>(0x80 | (cp & 0x3F));
        ASSERT_LE(FoldText(text).size(), text.size())
            << "U+" << std::hex << static_cast<std::uint32_t>(cp);
    }
}

} // namespace
} // namespace stanzel
