#include "storage/colour.h"

#include "storage/ascii.h"
#include "storage/number_text.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace stanzel {

namespace {

constexpr Colour System(int index) {
    return 0xFF000000u | static_cast<Colour>(index);
}

constexpr std::array<NamedColour, 52> kNamedColours{{
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clMedGray", 0x00A4A0A0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clMoneyGreen", 0x00C0DCC0},
    {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},
    {"clScrollBar", System(0)},
    {"clBackground", System(1)},
    {"clActiveCaption", System(2)},
    {"clInactiveCaption", System(3)},
    {"clMenu", System(4)},
    {"clWindow", System(5)},
    {"clWindowFrame", System(6)},
    {"clMenuText", System(7)},
    {"clWindowText", System(8)},
    {"clCaptionText", System(9)},
    {"clActiveBorder", System(10)},
    {"clInactiveBorder", System(11)},
    {"clAppWorkSpace", System(12)},
    {"clHighlight", System(13)},
    {"clHighlightText", System(14)},
    {"clBtnFace", System(15)},
    {"clBtnShadow", System(16)},
    {"clGrayText", System(17)},
    {"clBtnText", System(18)},
    {"clInactiveCaptionText", System(19)},
    {"clBtnHighlight", System(20)},
    {"cl3DDkShadow", System(21)},
    {"cl3DLight", System(22)},
    {"clInfoText", System(23)},
    {"clInfoBk", System(24)},
    {"clHotLight", System(26)},
    {"clGradientActiveCaption", System(27)},
    {"clGradientInactiveCaption", System(28)},
    {"clMenuHighlight", System(29)},
    {"clMenuBar", System(30)},
    {"clNone", kColourNone},
    {"clDefault", kColourDefault},
}};

} // namespace

std::span<const NamedColour> NamedColours() {
    return kNamedColours;
}

std::string ColorToText(Colour colour) {
    for (const auto& named : kNamedColours) {
        if (named.value == colour)
            return std::string(named.name);
    }
    char text[10];
    std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(colour));
    return text;
}

std::optional<Colour> TextToColor(std::string_view text) {
    for (const auto& named : kNamedColours) {
        if (EqualsIgnoringAsciiCase(named.name, text))
            return named.value;
    }
    if (auto number = ParseInt32(text))
        return static_cast<Colour>(*number);
    return std::nullopt;
}

Colour ContrastingText(Colour background) {
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(Red(background)) +
                             0.7152 * linear(Green(background)) +
                             0.0722 * linear(Blue(background));
    // Contrast ratios (L1 + 0.05) / (L2 + 0.05) against black and against
    // white are equal where the luminance is about 0.179.
    const double againstDark = (luminance + 0.05) / 0.05;
    const double againstLight = 1.05 / (luminance + 0.05);
    return againstDark >= againstLight ? kDarkText : kLightText;
}

} // namespace stanzel
