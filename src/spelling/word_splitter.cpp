#include "spelling/word_splitter.h"

#include "spelling/letters.h"

#include <algorithm>

namespace stanzel {

namespace {

constexpr char32_t kStraightApostrophe = U'\'';
constexpr char32_t kCurlyApostrophe = U'\u2019';
constexpr std::string_view kCurlyApostropheUtf8 = "\u2019";

bool IsApostrophe(char32_t c) {
    return c == kStraightApostrophe || c == kCurlyApostrophe;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool StartsWithCaseless(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// A piece of the line between blanks that is an address rather than words:
// "https://…", "www.…", "name@host.org".
bool IsAddress(std::string_view piece) {
    // Quotes and brackets around an address are no part of it.
    while (!piece.empty() && std::string_view("(<[\"'").find(piece.front()) != std::string_view::npos)
        piece.remove_prefix(1);
    if (piece.find("://") != std::string_view::npos || StartsWithCaseless(piece, "www."))
        return true;
    const auto at = piece.find('@');
    return at != std::string_view::npos && at > 0 &&
           piece.find('.', at + 1) != std::string_view::npos && piece.find('.', at + 1) > at + 1;
}

struct Character {
    std::size_t at;
    Utf8Character decoded;
};

} // namespace

WordSplitter::WordSplitter(std::string_view wordCharacters) {
    for (std::size_t at = 0; at < wordCharacters.size();) {
        const Utf8Character c = DecodeUtf8At(wordCharacters, at);
        if (!IsLetter(c.codePoint) && c.codePoint != 0xFFFD)
            extra_.push_back(c.codePoint);
        at += c.length;
    }
}

bool WordSplitter::isWordCharacter(char32_t c) const {
    return IsLetter(c) || IsCombiningMark(c) || IsApostrophe(c) ||
           extra_.find(c) != std::u32string::npos;
}

std::vector<WordSpan> WordSplitter::split(std::string_view line) const {
    std::vector<WordSpan> words;
    std::vector<Character> run;
    const auto finishRun = [&](std::size_t runEnd) {
        // Off either end goes whatever is no letter: quotes, hyphens, dots.
        const auto letterLike = [](const Character& c) {
            return IsLetter(c.decoded.codePoint) || IsDigit(c.decoded.codePoint);
        };
        const auto first = std::find_if(run.begin(), run.end(), letterLike);
        const auto last = std::find_if(run.rbegin(), run.rend(), letterLike);
        if (first == run.end()) {
            run.clear();
            return;
        }
        // A combining accent after the last letter belongs to it.
        auto end = last.base();
        while (end != run.end() && IsCombiningMark(end->decoded.codePoint))
            ++end;
        bool digit = false;
        int upper = 0;
        bool lower = false;
        for (auto c = first; c != end; ++c) {
            const char32_t cp = c->decoded.codePoint;
            digit = digit || IsDigit(cp);
            upper += IsUpperCase(cp) ? 1 : 0;
            lower = lower || IsLowerCase(cp);
        }
        const bool capitalsAlone = upper >= 2 && !lower;
        if (!digit && !capitalsAlone) {
            WordSpan word;
            word.begin = first->at;
            const std::size_t wordEnd =
                end == run.end() ? runEnd : end->at;
            word.length = wordEnd - word.begin;
            word.followedByFullStop = wordEnd < line.size() && line[wordEnd] == '.';
            words.push_back(word);
        }
        run.clear();
    };

    std::size_t pieceStart = 0;
    while (pieceStart < line.size()) {
        if (IsSpace(line[pieceStart])) {
            ++pieceStart;
            continue;
        }
        std::size_t pieceEnd = pieceStart;
        while (pieceEnd < line.size() && !IsSpace(line[pieceEnd]))
            ++pieceEnd;
        const std::string_view piece = line.substr(pieceStart, pieceEnd - pieceStart);
        if (!IsAddress(piece)) {
            for (std::size_t at = pieceStart; at < pieceEnd;) {
                const Utf8Character c = DecodeUtf8At(line, at);
                if (isWordCharacter(c.codePoint))
                    run.push_back({at, c});
                else
                    finishRun(at);
                at += c.length;
            }
            finishRun(pieceEnd);
        }
        pieceStart = pieceEnd;
    }
    return words;
}

std::string WithOtherApostrophes(std::string_view word) {
    std::string result;
    for (std::size_t at = 0; at < word.size();) {
        const Utf8Character c = DecodeUtf8At(word, at);
        if (c.codePoint == kStraightApostrophe)
            result += kCurlyApostropheUtf8;
        else if (c.codePoint == kCurlyApostrophe)
            result += '\'';
        else
            result.append(word.substr(at, c.length));
        at += c.length;
    }
    return result;
}

} // namespace stanzel
