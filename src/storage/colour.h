#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace stanzel {

// 0x00BBGGRR for red-green-blue colours; a high byte of 0xFF marks a system
// colour of the desktop whose index is the low byte.
using Colour = std::uint32_t;

inline constexpr Colour kBoxColour = 0x00E2F8FC;    // 14874876
inline constexpr Colour kSearchColour = 0x00CBF2FA; // 13366010
inline constexpr Colour kColourNone = 0x1FFFFFFF;
inline constexpr Colour kColourDefault = 0x20000000;

struct NamedColour {
    std::string_view name;
    Colour value;
};

// The 52 named colours, in table order.
std::span<const NamedColour> NamedColours();

constexpr bool IsSystemColour(Colour colour) {
    return (colour >> 24) == 0xFF;
}
constexpr int SystemColourIndex(Colour colour) {
    return static_cast<int>(colour & 0xFF);
}
constexpr int Red(Colour colour) {
    return static_cast<int>(colour & 0xFF);
}
constexpr int Green(Colour colour) {
    return static_cast<int>((colour >> 8) & 0xFF);
}
constexpr int Blue(Colour colour) {
    return static_cast<int>((colour >> 16) & 0xFF);
}
constexpr Colour RgbColour(int red, int green, int blue) {
    return static_cast<Colour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

inline constexpr Colour kDarkText = 0x00000000;  // black
inline constexpr Colour kLightText = 0x00FFFFFF; // white

// The text colour that reads best on a red-green-blue `background`: dark text
// on a light background, light text on a dark one, whichever contrasts more
// by the background's relative luminance (sRGB). Every box and list row draws
// its text by this rule, so neither the user's colours nor a dark desktop
// theme can make text vanish into its background.
Colour ContrastingText(Colour background);

// A name of the table when the colour has one, otherwise "$" and eight
// upper-case hexadecimal digits.
std::string ColorToText(Colour colour);

// A name of the table (ASCII letter case ignored) or an integer; nothing for
// any other text, so the caller keeps the colour it had.
std::optional<Colour> TextToColor(std::string_view text);

} // namespace stanzel
