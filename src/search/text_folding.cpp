#include "search/text_folding.h"

#include "storage/code_page.h"

#include <array>

namespace stanzel {

namespace {

// Up to two folded characters for one original one ("ß" gives "ss").
struct Folded {
    std::array<char32_t, 2> cps{};
    int count = 0;
};

Folded One(char32_t cp) {
    return {{cp, 0}, 1};
}

Folded Two(char32_t first, char32_t second) {
    return {{first, second}, 2};
}

Folded Ascii(char letter) {
    return One(static_cast<char32_t>(letter));
}

// U+00C0 to U+00FF. '*' marks a character with a fold of two letters, '=' one
// that stays (the multiplication and division signs).
constexpr std::string_view kLatin1 = "aaaaaa*ceeeeiiii"
                                     "dnooooo=ouuuuy**"
                                     "aaaaaa*ceeeeiiii"
                                     "dnooooo=ouuuuy*y";
static_assert(kLatin1.size() == 0x40);

// U+0100 to U+017F, in the same manner; '=' stays, '+' becomes the next
// character (a capital whose small letter keeps its own shape).
constexpr std::string_view kLatinExtendedA = "aaaaaacccccccc"
                                             "dddd"
                                             "eeeeeeeeee"
                                             "gggggggg"
                                             "hhhh"
                                             "iiiiiiiiii"
                                             "**"
                                             "jj"
                                             "kk="
                                             "llllllllll"
                                             "nnnnnnn"
                                             "+="
                                             "oooooo"
                                             "**"
                                             "rrrrrr"
                                             "ssssssss"
                                             "tttttt"
                                             "uuuuuuuuuuuu"
                                             "ww"
                                             "yyy"
                                             "zzzzzz"
                                             "s";
static_assert(kLatinExtendedA.size() == 0x80);

Folded FoldTwoLetters(char32_t cp) {
    switch (cp) {
    case 0xC6: // Æ
    case 0xE6:
        return Two('a', 'e');
    case 0xDE: // Þ
    case 0xFE:
        return Two('t', 'h');
    case 0xDF: // ß
    case 0x1E9E:
        return Two('s', 's');
    case 0x132: // Ĳ
    case 0x133:
        return Two('i', 'j');
    default: // Œ, œ
        return Two('o', 'e');
    }
}

Folded FromTable(std::string_view table, char32_t first, char32_t cp) {
    const char rule = table[cp - first];
    if (rule == '=')
        return One(cp);
    if (rule == '+')
        return One(cp + 1);
    if (rule == '*')
        return FoldTwoLetters(cp);
    return Ascii(rule);
}

// Letters whose capital and small forms alternate, capital first.
bool EvenIsCapital(char32_t cp) {
    return (cp >= 0x460 && cp <= 0x481) || (cp >= 0x48A && cp <= 0x4BF) ||
           (cp >= 0x4D0 && cp <= 0x52F) || (cp >= 0x1E00 && cp <= 0x1E95) ||
           (cp >= 0x1EA0 && cp <= 0x1EFF);
}

Folded FoldGreek(char32_t cp) {
    switch (cp) {
    case 0x386: // Ά
    case 0x3AC:
        return One(0x3B1);
    case 0x388: // Έ
    case 0x3AD:
        return One(0x3B5);
    case 0x389: // Ή
    case 0x3AE:
        return One(0x3B7);
    case 0x38A: // Ί
    case 0x390:
    case 0x3AA:
    case 0x3AF:
    case 0x3CA:
        return One(0x3B9);
    case 0x38C: // Ό
    case 0x3CC:
        return One(0x3BF);
    case 0x38E: // Ύ
    case 0x3AB:
    case 0x3B0:
    case 0x3CB:
    case 0x3CD:
        return One(0x3C5);
    case 0x38F: // Ώ
    case 0x3CE:
        return One(0x3C9);
    case 0x3C2: // final sigma
        return One(0x3C3);
    default:
        if (cp >= 0x391 && cp <= 0x3A9)
            return One(cp + 0x20);
        return One(cp);
    }
}

Folded FoldCyrillic(char32_t cp) {
    if (cp >= 0x400 && cp <= 0x40F)
        cp += 0x50;
    else if (cp >= 0x410 && cp <= 0x42F)
        cp += 0x20;
    else if (cp == 0x4C0)
        cp = 0x4CF;
    else if (cp >= 0x4C1 && cp <= 0x4CE && cp % 2 == 1)
        cp += 1;
    else if (EvenIsCapital(cp) && cp % 2 == 0)
        cp += 1;
    // ѐ and ё are written for е, ѝ for и.
    if (cp == 0x450 || cp == 0x451)
        return One(0x435);
    if (cp == 0x45D)
        return One(0x438);
    return One(cp);
}

Folded FoldLatinExtendedB(char32_t cp) {
    if (cp >= 0x1CD && cp <= 0x1DC) // pinyin tones: Ǎ ǎ Ǐ ǐ Ǒ ǒ Ǔ ǔ Ǖ … ǜ
        return Ascii("aaiioouuuuuuuuuu"[cp - 0x1CD]);
    switch (cp) {
    case 0x1A0: // Ơ
    case 0x1A1:
        return Ascii('o');
    case 0x1AF: // Ư
    case 0x1B0:
        return Ascii('u');
    case 0x218: // Ș
    case 0x219:
        return Ascii('s');
    case 0x21A: // Ț
    case 0x21B:
        return Ascii('t');
    default:
        return One(cp);
    }
}

Folded FoldCodePoint(char32_t cp) {
    if (cp < 0xC0)
        return One(cp);
    if (cp <= 0xFF)
        return FromTable(kLatin1, 0xC0, cp);
    if (cp <= 0x17F)
        return FromTable(kLatinExtendedA, 0x100, cp);
    if (cp <= 0x24F)
        return FoldLatinExtendedB(cp);
    if (cp >= 0x300 && cp <= 0x36F) // combining accents
        return {};
    if (cp >= 0x370 && cp <= 0x3FF)
        return FoldGreek(cp);
    if (cp >= 0x400 && cp <= 0x52F)
        return FoldCyrillic(cp);
    if (cp == 0x1E9E) // capital ß
        return FoldTwoLetters(cp);
    if (EvenIsCapital(cp) && cp % 2 == 0)
        return One(cp + 1);
    return One(cp);
}

// Appends the fold of `text` to `out`, calling emit(folded, begin, end) with
// the length of `out` after each original character [begin, end).
template <class Emit> void FoldEach(std::string& out, std::string_view text, Emit emit) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const Utf8Sequence decoded = c < 0x80 ? Utf8Sequence{} : DecodeUtf8Sequence(text, i);
        if (decoded.length == 0) {
            // ASCII, or a byte that is not UTF-8, which passes through as it is.
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            emit(out.size(), i, i + 1);
            ++i;
            continue;
        }
        const Folded folded = FoldCodePoint(decoded.cp);
        for (int k = 0; k < folded.count; ++k)
            AppendCodePoint(out, folded.cps[static_cast<std::size_t>(k)]);
        emit(out.size(), i, i + decoded.length);
        i += decoded.length;
    }
}

} // namespace

void AppendFolded(std::string& out, std::string_view text) {
    FoldEach(out, text, [](std::size_t, std::size_t, std::size_t) {});
}

std::string FoldText(std::string_view text) {
    std::string out;
    AppendFolded(out, text);
    return out;
}

TracedFold FoldTraced(std::string_view text) {
    TracedFold result;
    FoldEach(result.folded, text, [&](std::size_t folded, std::size_t begin, std::size_t end) {
        result.sourceBegin.resize(folded, static_cast<std::uint32_t>(begin));
        result.sourceEnd.resize(folded, static_cast<std::uint32_t>(end));
    });
    return result;
}

} // namespace stanzel
