#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// A word of a line, as byte offsets into the line's UTF-8 text.
struct WordSpan {
    std::size_t begin = 0;
    std::size_t length = 0;
    // A full stop follows the word: a dictionary may know it as an
    // abbreviation ("usw.", "Mr.").
    bool followedByFullStop = false;
    std::size_t end() const { return begin + length; }
    bool operator==(const WordSpan&) const = default;
};

// Splits lines into the words a dictionary is asked about. A word is a run
// of letters and of the dictionary's own word characters (its WORDCHARS:
// digits, hyphens, dots...), with straight and curly apostrophes inside it
// ("didn't", "didn’t"); what is not a letter at either end is left off.
// Left alone entirely: words with a digit (numbers, "21st"), web and e-mail
// addresses, and words of two letters or more in capitals alone ("NASA").
class WordSplitter {
public:
    // `wordCharacters` in UTF-8.
    explicit WordSplitter(std::string_view wordCharacters = {});

    std::vector<WordSpan> split(std::string_view line) const;

private:
    bool isWordCharacter(char32_t codePoint) const;

    std::u32string extra_; // the dictionary's word characters beyond letters
};

// The word with every apostrophe written the other way (' and ’), for a
// dictionary that knows only one of them; the word itself when it has none.
std::string WithOtherApostrophes(std::string_view word);

} // namespace stanzel
