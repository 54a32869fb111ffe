#include "spelling/letters.h"

#include "storage/code_page.h"

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
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {lead, 1};
    const Utf8Sequence sequence = DecodeUtf8Sequence(text, at);
    if (sequence.length == 0)
        return {0xFFFD, 1};
    return {sequence.cp, sequence.length};
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

char32_t ToLowerCase(char32_t c) {
    if (Ascii(c))
        return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    if (const locale_t locale = UnicodeLocale())
        return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(c), locale));
    return c;
}

bool IsDigit(char32_t c) {
    // The C library's digits are 0 to 9 alone; the other scripts' decimal
    // digits that poems may hold are numbers too.
    return (c >= '0' && c <= '9') || (c >= 0x0660 && c <= 0x0669) ||
           (c >= 0x06F0 && c <= 0x06F9) || (c >= 0x0966 && c <= 0x096F) ||
           (c >= 0xFF10 && c <= 0xFF19);
}

} // namespace stanzel
