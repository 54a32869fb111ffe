#pragma once

#include "spelling/dictionary_list.h"
#include "spelling/own_words.h"
#include "spelling/poem_language.h"
#include "spelling/spelling_worker.h"
#include "spelling/word_splitter.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace stanzel {

class SpellChecker;

// Spelling as the window uses it, on the window's thread: the installed
// dictionaries, the poem's language, the loaded checker, the user's own
// words and those ignored for the run. Checking is off until the chosen
// dictionary has loaded on the worker's thread; nothing here waits for it.
class SpellingSession {
public:
    // `wake` is called on the worker's thread when results are ready; the
    // window then calls takeResults on its own. The own word list is read
    // from the collection's folder at once.
    SpellingSession(const std::filesystem::path& collectionDir,
                    std::vector<InstalledDictionary> installed, SpellingWorker::Wake wake);
    ~SpellingSession();

    const std::vector<InstalledDictionary>& installed() const { return installed_; }
    const PoemLanguage& language() const { return language_; }

    // Starts loading the language's dictionary; until it has loaded no word
    // is marked. Off, or a code that is not installed, turns spelling off.
    void choose(const PoemLanguage& language);

    struct Results {
        bool checkerChanged = false;   // the marks must be made again
        std::string failedDictionary;  // the code of a dictionary that could not be read
    };
    // What the worker has finished since the last call.
    Results takeResults();

    // A dictionary has loaded and spelling is on.
    bool checking() const { return checker_ != nullptr; }

    // The words of a line to mark; none while nothing is checking.
    std::vector<WordSpan> misspelt(std::string_view line);

    // Suggestions come from the worker; the answer waits there for the one
    // who asked, for at most `wait`.
    SpellingWorker::Ticket askSuggestions(std::string_view word);
    std::optional<std::vector<std::string>> suggestions(SpellingWorker::Ticket ticket,
                                                        std::chrono::milliseconds wait);

    // Into the own word list, then known in every language; the list's
    // failed write changes nothing and is returned.
    std::error_code addToDictionary(std::string_view word);
    // Known in every language until the program ends.
    void ignore(std::string_view word);
    const OwnWords& ownWords() const { return ownWords_; }

private:
    bool known(std::string_view line, const WordSpan& word);
    void forget(std::unique_ptr<SpellChecker> checker);

    std::vector<InstalledDictionary> installed_;
    PoemLanguage language_;
    OwnWords ownWords_;
    std::set<std::string, std::less<>> ignored_;
    std::unique_ptr<SpellChecker> checker_;
    // The checker's answers, by word: a poem says most of its words more
    // than once, and a keystroke re-checks the words of its line.
    std::unordered_map<std::string, bool> known_;
    std::uint64_t generation_ = 0;
    SpellingWorker worker_; // last: its thread ends before the rest goes
};

} // namespace stanzel
