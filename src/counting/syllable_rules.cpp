#include "counting/syllable_rules.h"

#include "spelling/letters.h"

#include <algorithm>

namespace stanzel {

namespace {

bool IsOneOf(char32_t c, std::u32string_view set) {
    return set.find(c) != std::u32string_view::npos;
}

// The vowels of the Latin, Greek and Cyrillic alphabets in small letters,
// for the languages that have no rule of their own.
constexpr std::u32string_view kAnyVowel =
    U"aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüýÿœāăąēĕėęěīĭįıōŏőūŭůűųŷǎǐǒǔ"
    U"αεηιουωάέήίόύώϊϋΐΰ"
    U"аеёиоуыэюяєіїў";

// Hungarian's fourteen vowels, with the circumflex and tilde that old
// Latin-1 texts put in place of its double acute accent.
constexpr std::u32string_view kHungarianVowel = U"aáeéiíoóöőuúüűôõû";

constexpr std::u32string_view kGermanVowel = U"aeiouyäöü";

bool IsEnglishVowel(std::u32string_view word, std::size_t at) {
    const char32_t c = word[at];
    if (IsOneOf(c, U"aeiou"))
        return true;
    // A y before a vowel at the start is a consonant ("yes", "you").
    if (c == U'y')
        return !(at == 0 && word.size() > 1 && IsOneOf(word[1], U"aeiou"));
    return false;
}

int VowelGroups(std::u32string_view word, bool (*isVowel)(std::u32string_view, std::size_t)) {
    int groups = 0;
    bool inGroup = false;
    for (std::size_t at = 0; at < word.size(); ++at) {
        const bool vowel = isVowel(word, at);
        if (vowel && !inGroup)
            ++groups;
        inGroup = vowel;
    }
    return groups;
}

bool EndsWith(std::u32string_view word, std::u32string_view end) {
    return word.size() >= end.size() && word.substr(word.size() - end.size()) == end;
}

// A spelling that is silent at the end of an English word: the e of "hope",
// "hoped" and "hopes", but not of "table", "wanted", "wishes" or "free".
bool SilentEnding(std::u32string_view w) {
    const auto consonantAt = [&](std::size_t fromEnd) {
        return w.size() > fromEnd && !IsOneOf(w[w.size() - 1 - fromEnd], U"aeiouy");
    };
    if (EndsWith(w, U"e"))
        return consonantAt(1) && !(EndsWith(w, U"le") && consonantAt(2));
    if (EndsWith(w, U"ed"))
        return consonantAt(2) && !IsOneOf(w[w.size() - 3], U"td");
    if (EndsWith(w, U"es")) {
        if (!consonantAt(2))
            return false;
        const char32_t before = w[w.size() - 3];
        if (IsOneOf(before, U"sxzcg"))
            return false;
        return !(before == U'h' && w.size() > 3 && IsOneOf(w[w.size() - 4], U"cs"));
    }
    return false;
}

int EnglishBySpelling(std::u32string_view letters) {
    std::u32string word;
    for (char32_t c : letters)
        if (c != U'\'')
            word += c;
    int count = VowelGroups(word, IsEnglishVowel);
    if (count > 1 && SilentEnding(word))
        --count;
    return word.empty() ? 0 : std::max(count, 1);
}

int Hungarian(std::u32string_view letters) {
    return static_cast<int>(std::count_if(letters.begin(), letters.end(),
                                          [](char32_t c) { return IsOneOf(c, kHungarianVowel); }));
}

// Two vowels that are one sound: the diphthongs, the long ie and the
// doubled vowels, with the y that old spellings and names write for i.
bool GermanPair(char32_t first, char32_t second) {
    static constexpr std::u32string_view kPairs[] = {U"ei", U"ai", U"au", U"eu", U"äu", U"ie",
                                                     U"aa", U"ee", U"oo", U"ey", U"ay"};
    const char32_t pair[] = {first, second};
    return std::find(std::begin(kPairs), std::end(kPairs), std::u32string_view(pair, 2)) !=
           std::end(kPairs);
}

int German(std::u32string_view w) {
    int count = 0;
    for (std::size_t at = 0; at < w.size(); ++at) {
        if (!IsOneOf(w[at], kGermanVowel))
            continue;
        // The u of "qu" is part of the consonant.
        if (w[at] == U'u' && at > 0 && w[at - 1] == U'q')
            continue;
        ++count;
        if (at + 1 < w.size() && GermanPair(w[at], w[at + 1]))
            ++at;
    }
    return count;
}

int OtherLanguage(std::u32string_view letters) {
    return VowelGroups(
        letters, [](std::u32string_view w, std::size_t at) { return IsOneOf(w[at], kAnyVowel); });
}

bool StartsWith(std::string_view code, std::string_view language) {
    return code.size() >= language.size() && code.substr(0, language.size()) == language &&
           (code.size() == language.size() || code[language.size()] == '_' ||
            code[language.size()] == '-' || code[language.size()] == '.');
}

} // namespace

CountingRule RuleForLanguage(std::string_view code) {
    if (code.empty() || StartsWith(code, "en"))
        return CountingRule::English;
    if (StartsWith(code, "de"))
        return CountingRule::German;
    if (StartsWith(code, "hu"))
        return CountingRule::Hungarian;
    return CountingRule::Other;
}

std::u32string LettersOf(std::string_view word) {
    std::u32string letters;
    for (std::size_t at = 0; at < word.size();) {
        const Utf8Character c = DecodeUtf8At(word, at);
        at += c.length;
        if (c.codePoint == U'\'' || c.codePoint == U'\u2019')
            letters += U'\'';
        else if (IsLetter(c.codePoint))
            letters += ToLowerCase(c.codePoint);
    }
    return letters;
}

int CountBySpelling(CountingRule rule, std::u32string_view letters) {
    switch (rule) {
    case CountingRule::English:
        return EnglishBySpelling(letters);
    case CountingRule::German:
        return German(letters);
    case CountingRule::Hungarian:
        return Hungarian(letters);
    case CountingRule::Other:
        break;
    }
    return OtherLanguage(letters);
}

} // namespace stanzel
