#include "spelling/letters.h"

#include <locale.h>
#include <wctype.h>

namespace stanzel {

namespace {

// The C library knows the classes of every Unicode character through the
// C.UTF-8 locale, which Debian always ships; the process's own locale is
// left alone. Without it, only ASCII is told apart and every other
// character counts as a letter of no case.
locale_t UnicodeLocale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

bool Ascii(char32_t codePoint) {
    return codePoint < 0x80;
}

} // namespace

Utf8Character DecodeUtf8At(std::string_view text, std::size_t at) {
    if (at >= text.size())
        return {};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return {0xFFFD, 1};
    }
    if (at + length > text.size())
        return {0xFFFD, 1};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return {0xFFFD, 1};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return {0xFFFD, 1};
    return {codePoint, length};
}

bool IsCombiningMark(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

bool IsLetter(char32_t c) {
    if (Ascii(c))
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c == 0xFFFD || IsDigit(c))
        return false;
    if (const locale_t locale = UnicodeLocale())
        return ::iswalpha_l(static_cast<wint_t>(c), locale) != 0;
    return true;
}

bool IsUpperCase(char32_t c) {
    if (Ascii(c))
        return c >= 'A' && c <= 'Z';
    const locale_t locale = UnicodeLocale();
    return locale && ::iswupper_l(static_cast<wint_t>(c), locale) != 0;
}

bool IsLowerCase(char32_t c) {
    if (Ascii(c))
        return c >= 'a' && c <= 'z';
    const locale_t locale = UnicodeLocale();
    return locale && ::iswlower_l(static_cast<wint_t>(c), locale) != 0;
}

bool IsDigit(char32_t c) {
    // The C library's digits are 0 to 9 alone; the other scripts' decimal
    // digits that poems may hold are numbers too.
    return (c >= '0' && c <= '9') || (c >= 0x0660 && c <= 0x0669) ||
           (c >= 0x06F0 && c <= 0x06F9) || (c >= 0x0966 && c <= 0x096F) ||
           (c >= 0xFF10 && c <= 0xFF19);
}

} // namespace stanzel
