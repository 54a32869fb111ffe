#pragma once

#include <iconv.h>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel {

// Converts text from one character set to another (names as iconv knows
// them: "UTF-8", "ISO8859-2"...). A dictionary may be written in an older
// character set than the UTF-8 the program works in.
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

private:
    iconv_t descriptor_;
};

// Hunspell's name of a dictionary's character set, as iconv spells it.
std::string IconvEncodingName(std::string_view dictionaryEncoding);

} // namespace stanzel
