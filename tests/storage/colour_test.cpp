#include "storage/colour.h"

#include <gtest/gtest.h>
#include <set>

namespace stanzel {
namespace {

struct ToTextCase {
    const char* name;
    Colour colour;
    std::string_view text;
};

class ColorToTextTest : public ::testing::TestWithParam<ToTextCase> {};

TEST_P(ColorToTextTest, Converts) {
    EXPECT_EQ(ColorToText(GetParam().colour), GetParam().text);
    EXPECT_EQ(TextToColor(GetParam().text), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColorToTextTest,
    ::testing::Values(ToTextCase{"White", 0x00FFFFFF, "clWhite"}, ToTextCase{"Black", 0, "clBlack"},
                      ToTextCase{"MedGray", 0x00A4A0A0, "clMedGray"},
                      ToTextCase{"BtnFace", 0xFF00000F, "clBtnFace"},
                      ToTextCase{"MenuBar", 0xFF00001E, "clMenuBar"},
                      ToTextCase{"None", 0x1FFFFFFF, "clNone"},
                      ToTextCase{"Default", 0x20000000, "clDefault"},
                      ToTextCase{"BoxColour", 14874876, "$00E2F8FC"},
                      ToTextCase{"SearchColour", 13366010, "$00CBF2FA"},
                      ToTextCase{"UnnamedSystemIndex", 0xFF000019, "$FF000019"},
                      ToTextCase{"UpperCaseDigits", 0x00ABCDEF, "$00ABCDEF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextToColor, AcceptsNamesInAnyCaseAndIntegers) {
    for (const char* text : {"clWhite", "CLWHITE", "clwhite", "$00FFFFFF", "$FFFFFF", "16777215"})
        EXPECT_EQ(TextToColor(text), 0x00FFFFFFu) << text;
    EXPECT_EQ(TextToColor("-1"), 0xFFFFFFFFu);
}

TEST(TextToColor, RejectsOtherText) {
    for (const char* text : {"", "white", "clWhitish", "$GG", "12abc", "4294967296"})
        EXPECT_FALSE(TextToColor(text)) << text;
}

TEST(NamedColours, FiftyTwoDistinctNamesAndValues) {
    std::set<std::string_view> names;
    std::set<Colour> values;
    for (const auto& named : NamedColours()) {
        names.insert(named.name);
        values.insert(named.value);
    }
    EXPECT_EQ(NamedColours().size(), 52u);
    EXPECT_EQ(names.size(), 52u);
    EXPECT_EQ(values.size(), 52u);
}

TEST(ColourText, RoundTripsEveryKindOfValue) {
    for (Colour colour : {0u, 1u, 0x00FFFFFFu, 0x01020304u, 0x7FFFFFFFu, 0x80000000u, 0xFF000000u,
                          0xFF000019u, 0xFFFFFFFFu, 0x1FFFFFFFu, 0x20000000u})
        EXPECT_EQ(TextToColor(ColorToText(colour)), colour) << colour;
    for (Colour colour = 0; colour < 0x01000000u; colour += 0x10101)
        ASSERT_EQ(TextToColor(ColorToText(colour)), colour) << colour;
}

// Dark text on light backgrounds and light text on dark ones, the window's
// default colours included; mid greys go to whichever contrasts more.
TEST(ContrastingText, DarkOnLightLightOnDark) {
    const struct {
        const char* name;
        Colour background;
        Colour text;
    } rows[] = {
        {"black", 0x00000000, kLightText},      {"white", 0x00FFFFFF, kDarkText},
        {"box default", kBoxColour, kDarkText}, {"search default", kSearchColour, kDarkText},
        {"navy", 0x00800000, kLightText},       {"yellow", 0x0000FFFF, kDarkText},
        {"pure red", 0x000000FF, kDarkText},    {"pure blue", 0x00FF0000, kLightText},
        {"dark grey", 0x00404040, kLightText},  {"light grey", 0x00C0C0C0, kDarkText},
        {"dark theme base", 0x002A2A2A, kLightText},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ContrastingText(row.background), row.text) << row.name;
}

} // namespace
} // namespace stanzel
