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

TEST(JoinLinesCrLf, BreakAfterEveryLine) {
    EXPECT_EQ(JoinLinesCrLf({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLinesCrLf({}), "");
}

} // namespace
} // namespace stanzel
