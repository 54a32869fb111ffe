#include "spelling/spelling_session.h"

#include "spelling/spell_checker.h"

#include <algorithm>

namespace stanzel {

SpellingSession::SpellingSession(const std::filesystem::path& collectionDir,
                                 std::vector<InstalledDictionary> installed,
                                 SpellingWorker::Wake wake)
    : installed_(std::move(installed)), ownWords_(OwnWords::Read(collectionDir)),
      worker_(std::move(wake)) {}

SpellingSession::~SpellingSession() = default;

void SpellingSession::forget(std::unique_ptr<SpellChecker> checker) {
    known_.clear();
    worker_.dispose(std::move(checker));
}

void SpellingSession::choose(const PoemLanguage& language) {
    const auto dictionary =
        std::find_if(installed_.begin(), installed_.end(), [&](const InstalledDictionary& d) {
            return language.code() && d.code == *language.code();
        });
    language_ = dictionary == installed_.end() ? PoemLanguage() : language;
    forget(std::move(checker_));
    ++generation_;
    if (language_.off()) {
        worker_.unload();
        return;
    }
    std::vector<std::string> words = ownWords_.words();
    words.insert(words.end(), ignored_.begin(), ignored_.end());
    worker_.load(generation_, *dictionary, std::move(words));
}

SpellingSession::Results SpellingSession::takeResults() {
    Results results;
    for (SpellingWorker::Loaded& loaded : worker_.takeLoaded()) {
        if (loaded.generation != generation_) {
            worker_.dispose(std::move(loaded.checker));
            continue;
        }
        if (!loaded.checker) {
            results.failedDictionary = loaded.code;
            language_ = PoemLanguage();
            continue;
        }
        forget(std::move(checker_));
        checker_ = std::move(loaded.checker);
        results.checkerChanged = true;
    }
    return results;
}

bool SpellingSession::known(std::string_view line, const WordSpan& word) {
    std::string key(line.substr(word.begin, word.length));
    if (word.followedByFullStop)
        key += '.';
    if (const auto found = known_.find(key); found != known_.end())
        return found->second;
    const bool knows = checker_->knows(line, word);
    known_.emplace(std::move(key), knows);
    return knows;
}

std::vector<WordSpan> SpellingSession::misspelt(std::string_view line) {
    std::vector<WordSpan> marked;
    if (!checker_)
        return marked;
    for (const WordSpan& word : checker_->splitter().split(line))
        if (!known(line, word))
            marked.push_back(word);
    return marked;
}

SpellingWorker::Ticket SpellingSession::askSuggestions(std::string_view word) {
    return worker_.askSuggestions(std::string(word));
}

std::optional<std::vector<std::string>> SpellingSession::suggestions(
    SpellingWorker::Ticket ticket, std::chrono::milliseconds wait) {
    return worker_.suggestions(ticket, wait);
}

std::error_code SpellingSession::addToDictionary(std::string_view word) {
    if (const std::error_code error = ownWords_.add(word))
        return error;
    if (checker_)
        checker_->add(word);
    worker_.add(std::string(word));
    known_.clear();
    return {};
}

void SpellingSession::ignore(std::string_view word) {
    ignored_.emplace(word);
    if (checker_)
        checker_->add(word);
    worker_.add(std::string(word));
    known_.clear();
}

} // namespace stanzel
