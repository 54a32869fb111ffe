#pragma once

#include "spelling/dictionary_list.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace stanzel {

class SpellChecker;

// The one thread of spelling, for what cannot be sliced into the event loop:
// reading a dictionary (one Hunspell call of up to a third of a second) and
// finding suggestions (up to a fifth of a second for a long Hungarian word).
// It keeps a checker of its own for suggestions, so the window's checker is
// never touched by two threads, and typing never waits for a suggestion.
// The thread starts with the first job and ends when the worker is dropped,
// after the job at hand.
class SpellingWorker {
public:
    // Called on the worker's thread each time a result is ready; the
    // window's thread then takes it.
    using Wake = std::function<void()>;

    explicit SpellingWorker(Wake wake);
    ~SpellingWorker();
    SpellingWorker(const SpellingWorker&) = delete;
    SpellingWorker& operator=(const SpellingWorker&) = delete;

    // Reads the dictionary twice: a checker for the window (see takeLoaded),
    // then the worker's own. Both know `ownWords`. A load asked for later
    // makes this one's results go unused.
    void load(std::uint64_t generation, InstalledDictionary dictionary,
              std::vector<std::string> ownWords);
    // Spelling is off: no more suggestions.
    void unload();
    // The worker's checker knows the word from now on.
    void add(std::string word);
    // Frees a checker off the caller's thread: freeing a large dictionary
    // takes a noticeable moment.
    void dispose(std::unique_ptr<SpellChecker> checker);

    struct Loaded {
        std::uint64_t generation = 0;
        std::string code;
        std::unique_ptr<SpellChecker> checker; // empty when the load failed
        std::string error;
    };
    std::vector<Loaded> takeLoaded();

    using Ticket = std::uint64_t;
    Ticket askSuggestions(std::string word);
    // The answer when it comes within `wait`; once given it is gone.
    std::optional<std::vector<std::string>> suggestions(Ticket ticket,
                                                        std::chrono::milliseconds wait);

private:
    void post(std::function<void()> job);
    void run();

    Wake wake_;
    std::mutex mutex_;
    std::condition_variable jobsChanged_;
    std::condition_variable answered_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::uint64_t newestLoad_ = 0;
    Ticket lastTicket_ = 0;
    std::vector<Loaded> loaded_;
    std::map<Ticket, std::vector<std::string>> answers_;
    // Only the worker's thread touches it.
    std::unique_ptr<SpellChecker> suggester_;
    std::thread thread_; // last: started once everything above is ready
};

} // namespace stanzel
