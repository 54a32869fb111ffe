#pragma once

#include <string_view>

namespace stanzel {

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Only ASCII letters fold: names in the system's files are ASCII, and bytes of
// other letters must compare as they stand whatever their encoding.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace stanzel
