#pragma once

#include "spelling/dictionary_list.h"
#include "spelling/word_splitter.h"
#include "storage/text_encoding.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class Hunspell;

namespace stanzel {

// A dictionary that is missing, cannot be read, is no Hunspell dictionary
// or is written in a character set the system cannot convert.
class DictionaryError : public std::runtime_error {
public:
    explicit DictionaryError(const std::string& reason) : std::runtime_error(reason) {}
};

// One loaded Hunspell dictionary. Words go in and come out as UTF-8,
// whatever character set the dictionary is written in. Not to be shared
// between threads: each thread that checks keeps its own.
class SpellChecker {
public:
    // Reads both files; slow (a third of a second for Hungarian). Throws
    // DictionaryError.
    explicit SpellChecker(const InstalledDictionary& dictionary);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    const std::string& code() const { return code_; }
    // Splits lines by this dictionary's word characters.
    const WordSplitter& splitter() const { return splitter_; }

    // Whether the dictionary, or a word added to it, has the word; the other
    // kind of apostrophe is tried too.
    bool knows(std::string_view word) const;
    // A word of the line as the splitter gave it, with the full stop after
    // it for an abbreviation.
    bool knows(std::string_view line, const WordSpan& word) const;
    // Best first, at most kMostSuggestions; slow (up to a fifth of a second
    // for a long Hungarian word).
    std::vector<std::string> suggest(std::string_view word) const;
    // Known from now on, in this checker only.
    void add(std::string_view word);

private:
    std::optional<std::string> toDictionary(std::string_view word) const;
    bool knowsAsWritten(std::string_view word) const;

    std::string code_;
    std::unique_ptr<Hunspell> hunspell_;
    // Both empty for a UTF-8 dictionary.
    std::unique_ptr<TextConverter> toDictionary_;
    std::unique_ptr<TextConverter> fromDictionary_;
    WordSplitter splitter_;
};

} // namespace stanzel
