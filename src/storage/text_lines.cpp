#include "storage/text_lines.h"

namespace stanzel {

std::string NormaliseLineBreaks(std::string_view text) {
    std::string result;
    // The text between two breaks goes over whole: reading every poem of a
    // large collection passes through here.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        result.append(text.substr(start, i - start));
        // The partner of a pair belongs to the same break.
        const char partner = c == '\r' ? '\n' : '\r';
        if (i + 1 < text.size() && text[i + 1] == partner)
            ++i;
        result += "\r\n";
        start = i + 1;
    }
    result.append(text.substr(start));
    return result;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    VisitLines(text, [&](std::size_t begin, std::size_t end, std::size_t) {
        lines.emplace_back(text.substr(begin, end - begin));
    });
    return lines;
}

std::optional<std::string> TooLargeToShow(std::string_view text) {
    if (text.size() > kLargestPoemBytes)
        return "It holds " + std::to_string(text.size()) + " bytes; a poem's text may hold " +
               std::to_string(kLargestPoemBytes) + ".";
    // A line holds no more characters than bytes.
    if (text.size() <= kLongestPoemLine)
        return std::nullopt;
    // Lines end as NormaliseLineBreaks ends them; characters are counted as UTF-8
    // starts them, so a byte of another encoding counts as one.
    std::size_t line = 1;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (i + 1 < text.size() && text[i + 1] == (c == '\r' ? '\n' : '\r'))
                ++i;
            ++line;
            characters = 0;
            continue;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++characters > kLongestPoemLine) {
            std::size_t end = text.find_first_of("\r\n", i);
            if (end == std::string_view::npos)
                end = text.size();
            for (; i < end; ++i)
                characters += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 ? 1 : 0;
            return "Its line " + std::to_string(line) + " holds " + std::to_string(characters - 1) +
                   " characters, more than the " + std::to_string(kLongestPoemLine) +
                   " a line may hold to be shown at once.";
        }
    }
    return std::nullopt;
}

} // namespace stanzel
