#include "storage/text_lines.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

struct BreakCase {
    const char* name;
    std::string_view text;
    std::string_view normalised;
    std::vector<std::string> lines;
};

class LineBreakTest : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreakTest, NormalisesAndSplits) {
    EXPECT_EQ(NormaliseLineBreaks(GetParam().text), GetParam().normalised);
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, LineBreakTest,
    ::testing::Values(BreakCase{"Empty", "", "", {}}, BreakCase{"NoBreak", "a", "a", {"a"}},
                      BreakCase{"CrLf", "a\r\nb", "a\r\nb", {"a", "b"}},
                      BreakCase{"LoneLf", "a\nb\n", "a\r\nb\r\n", {"a", "b"}},
                      BreakCase{"LoneCr", "a\rb", "a\r\nb", {"a", "b"}},
                      BreakCase{"LfCrIsOneBreakInText", "a\n\rb", "a\r\nb", {"a", "", "b"}},
                      BreakCase{"EmptyLines", "\r\n\r\n", "\r\n\r\n", {"", ""}},
                      BreakCase{"CrCrLf", "a\r\r\nb", "a\r\n\r\nb", {"a", "", "b"}},
                      BreakCase{"TrailingBreakMakesNoLine", "a\r\n", "a\r\n", {"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- what can be shown at once --------------------------------------------

struct ShowCase {
    const char* name;
    std::string text;
    std::string refusal; // empty when the text can be shown; else part of the reason
};

class TooLargeToShowTest : public ::testing::TestWithParam<ShowCase> {};

TEST_P(TooLargeToShowTest, RefusesOnlyWhatCannotBeShown) {
    const auto why = TooLargeToShow(GetParam().text);
    if (GetParam().refusal.empty()) {
        EXPECT_FALSE(why) << *why;
        return;
    }
    ASSERT_TRUE(why);
    EXPECT_NE(why->find(GetParam().refusal), std::string::npos) << *why;
}

std::string Repeated(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TooLargeToShowTest,
    ::testing::Values(ShowCase{"Empty", "", ""},
                      ShowCase{"LongestLine", std::string(kLongestPoemLine, 'a'), ""},
                      ShowCase{"OneCharacterMore", std::string(kLongestPoemLine + 1, 'a'),
                               "line 1 holds 100001 characters"},
                      // Two bytes a letter: the bytes would pass twice over.
                      ShowCase{"LettersNotBytesCount", Repeated("\xC3\xA9", kLongestPoemLine), ""},
                      ShowCase{"LongLettersCount", Repeated("\xC3\xA9", kLongestPoemLine + 7),
                               "line 1 holds 100007 characters"},
                      ShowCase{"ManyShortLines", Repeated(std::string(999, 'a') + "\r\n", 300), ""},
                      ShowCase{"EachBreakEndsALine",
                               "a\r\nb\nc\rd\n\r" + std::string(kLongestPoemLine + 2, 'x') + "\r\n",
                               "line 5 holds 100002 characters"},
                      ShowCase{"TooManyBytes", std::string(kLargestPoemBytes + 1, '\n'), "bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stanzel
