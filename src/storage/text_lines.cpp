#include "storage/text_lines.h"

namespace stanzel {

std::string NormaliseLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 32);
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
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::string result;
    for (const auto& line : lines) {
        result += line;
        result += "\r\n";
    }
    return result;
}

} // namespace stanzel
