#include "counting/poem_tally.h"

#include "localisation/interface_strings.h"
#include "storage/number_text.h"

#include <algorithm>

namespace stanzel {

namespace {

constexpr std::string_view kLineSeparator = "\u2028";

std::string Counted(const InterfaceStrings& strings, int count, std::string_view one,
                    std::string_view many) {
    return FormatTemplate(strings[count == 1 ? one : many], FormatInt32(count));
}

} // namespace

std::vector<LineTally> CountParagraph(std::string_view paragraph, const SyllableCounter& counter) {
    std::vector<LineTally> lines;
    for (;;) {
        const auto end = paragraph.find(kLineSeparator);
        lines.push_back(counter.countLine(paragraph.substr(0, end)));
        if (end == std::string_view::npos)
            return lines;
        paragraph.remove_prefix(end + kLineSeparator.size());
    }
}

std::vector<std::string> SplitParagraphs(std::string_view text) {
    std::vector<std::string> paragraphs;
    for (;;) {
        const auto end = text.find('\n');
        paragraphs.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return paragraphs;
        text.remove_prefix(end + 1);
    }
}

void PoemTally::replace(std::size_t first, std::size_t removed,
                        std::span<const std::string> paragraphs, const SyllableCounter& counter) {
    first = std::min(first, paragraphs_.size());
    removed = std::min(removed, paragraphs_.size() - first);
    const auto at = paragraphs_.begin() + static_cast<std::ptrdiff_t>(first);
    const auto kept = paragraphs_.erase(at, at + static_cast<std::ptrdiff_t>(removed));
    std::vector<std::vector<LineTally>> counted;
    counted.reserve(paragraphs.size());
    for (const std::string& paragraph : paragraphs)
        counted.push_back(CountParagraph(paragraph, counter));
    paragraphs_.insert(kept, std::make_move_iterator(counted.begin()),
                       std::make_move_iterator(counted.end()));
}

int PoemTally::lineNumber(std::size_t paragraph, std::size_t line) const {
    std::size_t number = line + 1;
    for (std::size_t p = 0; p < paragraph && p < paragraphs_.size(); ++p)
        number += paragraphs_[p].size();
    return static_cast<int>(number);
}

PoemTotals PoemTally::totals() const {
    PoemTotals totals;
    bool inStanza = false;
    for (const auto& paragraph : paragraphs_) {
        for (const LineTally& line : paragraph) {
            totals.words += line.words;
            if (!line.empty) {
                ++totals.lines;
                totals.stanzas += !inStanza;
            }
            inStanza = !line.empty;
        }
    }
    return totals;
}

std::string CountsStatus(const InterfaceStrings& strings, int lineNumber, const LineTally& line,
                         const PoemTotals& totals, bool approximate) {
    std::string syllables = Counted(strings, line.syllables, "countsyllable", "countsyllables");
    if (approximate)
        syllables = FormatTemplate(strings["countabout"], syllables);
    return FormatTemplate(strings["countline"], FormatInt32(lineNumber)) + ' ' + syllables +
           " \u00B7 " + Counted(strings, totals.lines, "countlineone", "countlines") + ", " +
           Counted(strings, totals.stanzas, "countstanza", "countstanzas") + ", " +
           Counted(strings, totals.words, "countword", "countwords");
}

} // namespace stanzel
