#pragma once

#include <string>
#include <string_view>

namespace stanzel {

// How a language's syllables are counted.
enum class CountingRule {
    English,   // the pronouncing table, then the spelling rule below
    German,    // vowels, with diphthongs and doubled vowels once
    Hungarian, // one syllable per vowel
    Other,     // groups of vowels: an estimate, shown as one
};

// The rule for a language code as Edit > Spelling or a language file names
// it ("en_US", "de_DE", "hu", "fr_FR"). The empty code is the English of
// the interface without a language file.
CountingRule RuleForLanguage(std::string_view code);

// A word as the rules read it: its letters in small letters, one code point
// each, with straight apostrophes for curly ones and nothing else.
std::u32string LettersOf(std::string_view word);

// The syllables of one word of letters (LettersOf), by spelling alone.
int CountBySpelling(CountingRule rule, std::u32string_view letters);

} // namespace stanzel
