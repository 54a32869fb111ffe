#pragma once

#include "counting/syllable_rules.h"
#include "counting/syllable_table.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace stanzel {

// A word of a line for the counts, as byte offsets into the line: a run of
// letters or digits, with apostrophes and hyphens inside it ("didn't",
// "well-known"); a decomposed accent stays with its letter.
struct CountedWord {
    std::size_t begin = 0;
    std::size_t length = 0;
    bool operator==(const CountedWord&) const = default;
};
std::vector<CountedWord> CountedWords(std::string_view line);

// What one line of a poem counts.
struct LineTally {
    int syllables = 0;
    int words = 0;
    bool empty = true; // nothing but blanks
    bool operator==(const LineTally&) const = default;
};

// Counts syllables in the poem's language.
class SyllableCounter {
public:
    // English without its table counts by spelling alone.
    explicit SyllableCounter(CountingRule rule = CountingRule::English,
                             std::shared_ptr<const SyllableTable> english = nullptr);

    CountingRule rule() const { return rule_; }
    // Counted by a rule that only estimates.
    bool approximate() const { return rule_ == CountingRule::Other; }
    bool hasTable() const { return english_ != nullptr; }

    int countWord(std::string_view word) const;
    LineTally countLine(std::string_view line) const;

private:
    int countEnglish(std::u32string_view letters) const;

    CountingRule rule_;
    std::shared_ptr<const SyllableTable> english_;
};

} // namespace stanzel
