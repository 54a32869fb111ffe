#pragma once

#include "counting/syllable_counter.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

class InterfaceStrings;

// The poem as a whole.
struct PoemTotals {
    int lines = 0;   // lines with words or marks on them
    int stanzas = 0; // runs of such lines between empty lines
    int words = 0;
    bool operator==(const PoemTotals&) const = default;
};

// The counts of a poem held line by line, so that an edit recounts only the
// paragraphs it touched. A paragraph is what the poem box holds between two
// Enters; a line separator (Shift+Enter, U+2028) breaks it into lines of
// its own, as the printed page and the exports break it.
class PoemTally {
public:
    // Paragraphs [first, first + removed) are replaced by `paragraphs`, each
    // counted anew; the rest keep their counts.
    void replace(std::size_t first, std::size_t removed, std::span<const std::string> paragraphs,
                 const SyllableCounter& counter);
    void clear() { paragraphs_.clear(); }

    std::size_t paragraphCount() const { return paragraphs_.size(); }
    // The lines of a paragraph, one or more.
    std::span<const LineTally> lines(std::size_t paragraph) const { return paragraphs_[paragraph]; }
    // The poem's line number (from 1) of a paragraph's line.
    int lineNumber(std::size_t paragraph, std::size_t line) const;

    PoemTotals totals() const;

private:
    std::vector<std::vector<LineTally>> paragraphs_;
};

// A paragraph's lines counted: one per line separator, plus one.
std::vector<LineTally> CountParagraph(std::string_view paragraph, const SyllableCounter& counter);

// Plain text (lines ended by LF) as the poem box's paragraphs.
std::vector<std::string> SplitParagraphs(std::string_view text);

// The status bar's counts: "Line 3: 10 syllables · 14 lines, 3 stanzas,
// 98 words", in the interface's language; an estimate says so.
std::string CountsStatus(const InterfaceStrings& strings, int lineNumber, const LineTally& line,
                         const PoemTotals& totals, bool approximate);

} // namespace stanzel
