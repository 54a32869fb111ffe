#pragma once

#include <cstddef>
#include <string_view>

namespace stanzel {

// One character of UTF-8 text. A byte that starts no valid sequence is a
// character of its own (code point U+FFFD, one byte long), so any input
// walks from start to end.
struct Utf8Character {
    char32_t codePoint = 0;
    std::size_t length = 0; // in bytes; 0 only at the end of the text
};
Utf8Character DecodeUtf8At(std::string_view text, std::size_t at);

// Letters, case and digits of every script, as Unicode classifies them.
// Combining accents (a decomposed "é") count as part of a letter.
bool IsLetter(char32_t codePoint);
bool IsCombiningMark(char32_t codePoint);
bool IsUpperCase(char32_t codePoint);
bool IsLowerCase(char32_t codePoint);
bool IsDigit(char32_t codePoint);
// The small letter of a capital, in every script; any other character as it is.
char32_t ToLowerCase(char32_t codePoint);

} // namespace stanzel
