#include "search/title_search.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

struct TitleCase {
    const char* name;
    std::string_view text;
    std::optional<std::size_t> row;
};

class TitleSearchTest : public ::testing::TestWithParam<TitleCase> {
protected:
    const std::vector<PoemListEntry> rows_{{"1", "Rose"},
                                           {"2", "Red Rose"},
                                           {"3", "rose"},
                                           {"4", "R\xc3\xb3\xc5\xbc"
                                                 "a"}};
};

TEST_P(TitleSearchTest, SelectsTheFirstTitleHoldingTheText) {
    EXPECT_EQ(FindTitle(rows_, GetParam().text), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(Matches, TitleSearchTest,
                         ::testing::Values(TitleCase{"FirstOfSeveral", "Rose", 0u},
                                           TitleCase{"LetterCaseCounts", "rose", 2u},
                                           TitleCase{"InsideATitle", "d R", 1u},
                                           TitleCase{"LeadingBlankIsPartOfTheText", " Rose", 1u},
                                           TitleCase{"NonAsciiLetters", "\xc3\xb3\xc5\xbc", 3u}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NoMatch, TitleSearchTest,
    ::testing::Values(TitleCase{"OtherCase", "ROSE", std::nullopt},
                      TitleCase{"NonAsciiOtherCase", "\xc3\x93\xc5\xbb", std::nullopt},
                      TitleCase{"TrailingBlankNowhere", "Rose ", std::nullopt},
                      TitleCase{"LongerThanEveryTitle", "Red Rose of May", std::nullopt},
                      TitleCase{"EmptyTextOrCancel", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TitleSearch, ReadsTheListRowsTitlesOnly) {
    const std::vector<PoemListEntry> rows{{"7", "Autumn"}, {"12", "Rose"}, {"3", "Rose"}};
    EXPECT_EQ(FindTitle(rows, "Rose"), 1u);
    EXPECT_EQ(FindTitle(rows, "12"), std::nullopt);
    EXPECT_EQ(FindTitle(std::span<const PoemListEntry>(), "Rose"), std::nullopt);
}

} // namespace
} // namespace stanzel
