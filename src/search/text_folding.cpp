#include "search/text_folding.h"

#include <array>
#include <cstring>

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

// Writes `cp` at `out` and returns the end of what it wrote.
char* PutUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Appends the fold of `text` to `out`, calling emit(folded, begin, end) with
// the length of `out` after each original character [begin, end). No fold is
// longer in bytes than its original, so the room is made once, in advance.
template <class Emit> void FoldEach(std::string& out, std::string_view text, Emit emit) {
    const std::size_t start = out.size();
    out.resize(start + text.size());
    char* const base = out.data();
    char* o = base + start;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            *o++ =
                (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : static_cast<char>(c);
            emit(static_cast<std::size_t>(o - base), i, i + 1);
            ++i;
            continue;
        }
        const Utf8Sequence decoded = DecodeUtf8Sequence(text, i);
        if (decoded.length == 0) {
            *o++ = static_cast<char>(c);
            emit(static_cast<std::size_t>(o - base), i, i + 1);
            ++i;
            continue;
        }
        const Folded folded = FoldCodePoint(decoded.cp);
        if (folded.count == 1 && folded.cps[0] == decoded.cp) {
            std::memcpy(o, text.data() + i, decoded.length);
            o += decoded.length;
        } else {
            for (int k = 0; k < folded.count; ++k)
                o = PutUtf8(o, folded.cps[static_cast<std::size_t>(k)]);
        }
        emit(static_cast<std::size_t>(o - base), i, i + decoded.length);
        i += decoded.length;
    }
    out.resize(static_cast<std::size_t>(o - base));
}

} // namespace

void AppendFolded(std::string& out, std::string_view text) {
    FoldEach(out, text, [](std::size_t, std::size_t, std::size_t) {});
}

std::string FoldText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

TracedFold FoldTraced(std::string_view text) {
    TracedFold result;
    result.folded.reserve(text.size());
    result.sourceBegin.reserve(text.size());
    result.sourceEnd.reserve(text.size());
    FoldEach(result.folded, text, [&](std::size_t folded, std::size_t begin, std::size_t end) {
        result.sourceBegin.resize(folded, static_cast<std::uint32_t>(begin));
        result.sourceEnd.resize(folded, static_cast<std::uint32_t>(end));
    });
    return result;
}

Utf8Sequence DecodeUtf8Sequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        smallest = 0x10000;
    } else {
        return {};
    }
    if (text.size() - at < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return {};
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    return {cp, length};
}

} // namespace stanzel
