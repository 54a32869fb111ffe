#pragma once

#include <iconv.h>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel {

// Converts text from one character set to another (names as iconv knows
// them: "UTF-8", "ISO8859-2"...). A dictionary, a collection carried over
// from an older system, may be written in an older character set than the
// UTF-8 the program works in.
class TextConverter {
public:
    // Throws std::runtime_error when the system cannot convert between them.
    TextConverter(std::string_view from, std::string_view to);
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    // Nothing when the text has a character the target set lacks, or is not
    // valid in the source set.
    std::optional<std::string> convert(std::string_view text) const;
    // Converts the whole text, never failing: a byte that starts no
    // character of the source set, or a sequence cut short at the end, goes
    // out as the character of the same number (U+0000..U+00FF, which needs a
    // UTF-8 target), and the conversion goes on after it.
    void AppendEveryByte(std::string& out, std::string_view text) const;

private:
    iconv_t descriptor_;
};

// Hunspell's name of a dictionary's character set, as iconv spells it.
std::string IconvEncodingName(std::string_view dictionaryEncoding);

} // namespace stanzel
