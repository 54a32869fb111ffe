#include "spelling/spelling_worker.h"

#include "spelling/spell_checker.h"

#include <utility>

namespace stanzel {

SpellingWorker::SpellingWorker(Wake wake) : wake_(std::move(wake)) {}

SpellingWorker::~SpellingWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    jobsChanged_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void SpellingWorker::post(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    jobsChanged_.notify_one();
}

void SpellingWorker::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            jobsChanged_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

void SpellingWorker::load(std::uint64_t generation, InstalledDictionary dictionary,
                          std::vector<std::string> ownWords) {
    {
        const std::lock_guard lock(mutex_);
        newestLoad_ = generation;
    }
    post([this, generation, dictionary = std::move(dictionary), ownWords = std::move(ownWords)] {
        const auto stale = [&] {
            const std::lock_guard lock(mutex_);
            return generation != newestLoad_ || stopping_;
        };
        const auto read = [&]() -> std::unique_ptr<SpellChecker> {
            auto checker = std::make_unique<SpellChecker>(dictionary);
            for (const std::string& word : ownWords)
                checker->add(word);
            return checker;
        };
        suggester_.reset();
        if (stale())
            return;
        Loaded result{generation, dictionary.code, nullptr, {}};
        try {
            result.checker = read();
        } catch (const std::exception& error) {
            result.error = error.what();
        }
        const bool loaded = result.checker != nullptr;
        {
            const std::lock_guard lock(mutex_);
            loaded_.push_back(std::move(result));
        }
        wake_();
        if (!loaded || stale())
            return;
        try {
            suggester_ = read();
        } catch (const std::exception&) {
            // Read a moment ago; without it there are no suggestions.
        }
    });
}

void SpellingWorker::unload() {
    {
        const std::lock_guard lock(mutex_);
        ++newestLoad_;
        // Nothing was ever loaded: no thread is started to drop nothing.
        if (!thread_.joinable())
            return;
    }
    post([this] { suggester_.reset(); });
}

void SpellingWorker::add(std::string word) {
    post([this, word = std::move(word)] {
        if (suggester_)
            suggester_->add(word);
    });
}

void SpellingWorker::dispose(std::unique_ptr<SpellChecker> checker) {
    if (!checker)
        return;
    // A std::function must be copyable; the checker rides in a shared one.
    std::shared_ptr<SpellChecker> held(std::move(checker));
    post([held = std::move(held)]() mutable { held.reset(); });
}

std::vector<SpellingWorker::Loaded> SpellingWorker::takeLoaded() {
    const std::lock_guard lock(mutex_);
    return std::exchange(loaded_, {});
}

SpellingWorker::Ticket SpellingWorker::askSuggestions(std::string word) {
    Ticket ticket = 0;
    {
        const std::lock_guard lock(mutex_);
        ticket = ++lastTicket_;
        // Only the newest question is still awaited.
        answers_.clear();
    }
    post([this, ticket, word = std::move(word)] {
        std::vector<std::string> found;
        if (suggester_)
            found = suggester_->suggest(word);
        {
            const std::lock_guard lock(mutex_);
            if (ticket == lastTicket_)
                answers_[ticket] = std::move(found);
        }
        answered_.notify_all();
        wake_();
    });
    return ticket;
}

std::optional<std::vector<std::string>> SpellingWorker::suggestions(
    Ticket ticket, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (!answered_.wait_for(lock, wait, [&] { return answers_.contains(ticket); }))
        return std::nullopt;
    auto found = std::move(answers_.at(ticket));
    answers_.erase(ticket);
    return found;
}

} // namespace stanzel
