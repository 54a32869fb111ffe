#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace stanzel {

inline constexpr std::string_view kOwnWordsFileName = "own-words.txt";

// The words the user added to the dictionary, kept in the collection's
// folder so that they travel with it: UTF-8, one word a line, in the order
// added. Good for every language.
class OwnWords {
public:
    // A missing or unreadable list is an empty one; blank lines and the
    // blanks around a word are no part of it, CR LF ends a line too.
    static OwnWords Read(const std::filesystem::path& collectionDir);

    const std::vector<std::string>& words() const { return words_; }
    bool holds(std::string_view word) const;

    // Writes the list with the word added, in one replacement of the file;
    // the list changes only when the file did. A word it holds already
    // changes nothing.
    std::error_code add(std::string_view word);

    std::filesystem::path path() const { return collectionDir_ / kOwnWordsFileName; }

private:
    std::filesystem::path collectionDir_;
    std::vector<std::string> words_;
};

} // namespace stanzel
