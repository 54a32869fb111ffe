#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// What a poem's text may hold to be shown in the editor at once, and so to be
// stored, loaded and exported: the editor lays out each line as one piece,
// and a line far longer than any verse keeps the window busy for minutes.
inline constexpr std::size_t kLargestPoemBytes = 64 * 1024 * 1024;
inline constexpr std::size_t kLongestPoemLine = 100'000; // characters

// Why the text cannot be shown at once ("Line 3 holds 150000 characters; ..."),
// for a message; nothing when it can.
std::optional<std::string> TooLargeToShow(std::string_view text);

// Turns every line break into CR LF: a lone CR, a lone LF and an LF CR pair
// each become one CR LF; CR LF stays. Nothing is added at the end.
std::string NormaliseLineBreaks(std::string_view text);

// Splits text into lines. A line ends at CR LF, at a lone LF or at a lone CR;
// a break at the very end makes no extra empty line.
std::vector<std::string> SplitLines(std::string_view text);
// Calls line(begin, end, breakEnd) for each of those lines, its break
// [end, breakEnd) included.
template <typename Line> void VisitLines(std::string_view text, Line&& line) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        std::size_t breakEnd = end;
        if (breakEnd < text.size())
            breakEnd += text.substr(breakEnd, 2) == "\r\n" ? 2 : 1;
        line(start, end, breakEnd);
        start = breakEnd;
    }
}

} // namespace stanzel
