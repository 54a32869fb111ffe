#include "counting/syllable_table.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

namespace stanzel {

namespace {

// Far beyond the table Debian's dictionary makes (about 2 MB): a larger file
// is not one.
constexpr std::uintmax_t kLargestTable = 64u << 20;

} // namespace

std::optional<SyllableTable> SyllableTable::Load(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > kLargestTable)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size())))
        return std::nullopt;
    return FromText(std::move(text));
}

std::optional<SyllableTable> SyllableTable::FromText(std::string text) {
    SyllableTable table;
    std::string_view previous;
    for (std::size_t at = 0; at < text.size();) {
        auto end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + at, end - at);
        // "word N": a word, one blank, one digit.
        if (line.size() < 3 || line[line.size() - 2] != ' ' || line[line.size() - 1] < '0' ||
            line[line.size() - 1] > '9')
            return std::nullopt;
        const std::string_view word = line.substr(0, line.size() - 2);
        if (word.find(' ') != std::string_view::npos || (!previous.empty() && !(previous < word)))
            return std::nullopt;
        previous = word;
        table.lineStarts_.push_back(static_cast<std::uint32_t>(at));
        at = end + 1;
    }
    table.text_ = std::move(text);
    return table;
}

std::string_view SyllableTable::wordAt(std::size_t line) const {
    const std::size_t start = lineStarts_[line];
    const std::size_t end = text_.find(' ', start);
    return std::string_view(text_).substr(start, end - start);
}

std::optional<int> SyllableTable::find(std::string_view word) const {
    std::size_t low = 0;
    std::size_t high = lineStarts_.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const std::string_view there = wordAt(middle);
        if (there < word)
            low = middle + 1;
        else if (word < there)
            high = middle;
        else
            return text_[lineStarts_[middle] + there.size() + 1] - '0';
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> SyllableTablePlaces(const std::filesystem::path& programFolder) {
    return {programFolder / ".." / "share" / "stanzel" / SyllableTable::kFileName,
            std::filesystem::path("/usr/share/stanzel") / SyllableTable::kFileName};
}

} // namespace stanzel
