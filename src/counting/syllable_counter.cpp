#include "counting/syllable_counter.h"

#include "spelling/letters.h"
#include "storage/code_page.h"

#include <algorithm>

namespace stanzel {

namespace {

bool IsInnerJoin(char32_t c) {
    return c == U'\'' || c == U'\u2019' || c == U'-' || c == U'\u2010' || c == U'\u2011';
}

bool IsWordCharacter(char32_t c) {
    return IsLetter(c) || IsDigit(c) || IsCombiningMark(c);
}

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\u00A0' || c == U'\u3000' ||
           (c >= U'\u2000' && c <= U'\u200B');
}

std::string ToUtf8(std::u32string_view letters) {
    std::string text;
    for (char32_t c : letters)
        AppendCodePoint(text, c);
    return text;
}

} // namespace

std::vector<CountedWord> CountedWords(std::string_view line) {
    std::vector<CountedWord> words;
    std::size_t begin = 0;
    std::size_t end = 0; // past the word's last letter or digit
    bool inWord = false;
    for (std::size_t at = 0; at < line.size();) {
        const Utf8Character c = DecodeUtf8At(line, at);
        if (IsWordCharacter(c.codePoint)) {
            if (!inWord) {
                inWord = true;
                begin = at;
            }
            end = at + c.length;
        } else if (!(inWord && IsInnerJoin(c.codePoint) && end == at)) {
            // A join counts only between two word characters: "rock'n'roll",
            // not "dogs'" nor "--".
            if (inWord)
                words.push_back({begin, end - begin});
            inWord = false;
        }
        at += c.length;
    }
    if (inWord)
        words.push_back({begin, end - begin});
    return words;
}

SyllableCounter::SyllableCounter(CountingRule rule, std::shared_ptr<const SyllableTable> english)
    : rule_(rule), english_(std::move(english)) {}

int SyllableCounter::countEnglish(std::u32string_view letters) const {
    if (english_) {
        const auto found = [&](std::u32string_view word) { return english_->find(ToUtf8(word)); };
        if (auto count = found(letters))
            return *count;
        // A possessive or an elision the dictionary lacks: "summer's",
        // "'twixt", "poets'".
        std::u32string_view bare = letters;
        while (!bare.empty() && bare.front() == U'\'')
            bare.remove_prefix(1);
        while (!bare.empty() && bare.back() == U'\'')
            bare.remove_suffix(1);
        if (bare.size() > 2 && bare.substr(bare.size() - 2) == U"'s")
            if (auto count = found(bare.substr(0, bare.size() - 2)))
                return *count;
        if (bare != letters)
            if (auto count = found(bare))
                return *count;
    }
    return CountBySpelling(CountingRule::English, letters);
}

int SyllableCounter::countWord(std::string_view word) const {
    // Each part of a hyphenated word counts as a word of its own.
    int total = 0;
    std::size_t partBegin = 0;
    for (std::size_t at = 0; at <= word.size();) {
        const Utf8Character c = DecodeUtf8At(word, at);
        const bool ends = at == word.size() || c.codePoint == U'-' || c.codePoint == U'\u2010' ||
                          c.codePoint == U'\u2011';
        if (ends) {
            const std::u32string piece = LettersOf(word.substr(partBegin, at - partBegin));
            if (!piece.empty())
                total += rule_ == CountingRule::English ? countEnglish(piece)
                                                        : CountBySpelling(rule_, piece);
            if (at == word.size())
                break;
            partBegin = at + c.length;
        }
        at += c.length;
    }
    return total;
}

LineTally SyllableCounter::countLine(std::string_view line) const {
    LineTally tally;
    for (std::size_t at = 0; at < line.size();) {
        const Utf8Character c = DecodeUtf8At(line, at);
        if (!IsBlank(c.codePoint)) {
            tally.empty = false;
            break;
        }
        at += c.length;
    }
    for (const CountedWord& word : CountedWords(line)) {
        ++tally.words;
        tally.syllables += countWord(line.substr(word.begin, word.length));
    }
    return tally;
}

} // namespace stanzel
