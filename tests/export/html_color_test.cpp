#include "export/html_color.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

TEST(HtmlColorTest, StyleSheetColours) {
    struct Row {
        const char* name;
        Colour colour;
        const char* expected;
    };
    const Row rows[] = {
        {"BoxColour", 0x00E2F8FC, "#fcf8e2"},
        {"SearchColour", 0x00CBF2FA, "#faf2cb"},
        {"RedFirst", 0x00563412, "#123456"},
        {"HexLettersLowered", 0x00ABCDEF, "#efcdab"},
        {"White", 0x00FFFFFF, "white"},
        {"BlackByName", 0x00000000, "black"},
        {"Silver", 0x00C0C0C0, "silver"},
        {"Maroon", 0x00000080, "maroon"},
        {"MoneyGreen", 0x00C0DCC0, "moneygreen"},
        {"SystemBtnFace", 0xFF00000F, "btnface"},
        {"System3DDkShadow", 0xFF000015, "3ddkshadow"},
        {"UnnamedSystemColour", 0xFF000019, "#190000"},
        {"None", kColourNone, "none"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(htmlcolor(row.colour), row.expected) << row.name;
}

} // namespace
} // namespace stanzel
