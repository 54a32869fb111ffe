#include "spelling/spell_checker.h"

#include "spelling/suggestion_order.h"

#include <cctype>
#include <fcntl.h>
#include <hunspell.hxx>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

namespace {

// The start of a file, or nothing when it is not a regular file that can be
// read: Hunspell itself would take a missing file for an empty dictionary,
// and a FIFO would keep it waiting.
std::optional<std::string> ReadStart(const std::filesystem::path& path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::string> start;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::string bytes(size, '\0');
        const ssize_t got = ::read(fd, bytes.data(), size);
        if (got >= 0) {
            bytes.resize(static_cast<std::size_t>(got));
            start = std::move(bytes);
        }
    }
    ::close(fd);
    return start;
}

// A word file begins with the number of its words.
bool StartsWithWordCount(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    return digits > 0 &&
           (digits == text.size() || std::isspace(static_cast<unsigned char>(text[digits])));
}

} // namespace

SpellChecker::SpellChecker(const InstalledDictionary& dictionary) : code_(dictionary.code) {
    const auto affixes = ReadStart(dictionary.affixFile, 1);
    const auto words = ReadStart(dictionary.wordFile, 64);
    if (!affixes || !words)
        throw DictionaryError("cannot read " + (affixes ? dictionary.wordFile
                                                        : dictionary.affixFile).string());
    if (!StartsWithWordCount(*words))
        throw DictionaryError(dictionary.wordFile.string() + " is no Hunspell word list");
    hunspell_ = std::make_unique<Hunspell>(dictionary.affixFile.c_str(), dictionary.wordFile.c_str());
    const std::string encoding = IconvEncodingName(hunspell_->get_dict_encoding());
    if (encoding != "UTF-8" && encoding != "utf-8") {
        try {
            toDictionary_ = std::make_unique<TextConverter>("UTF-8", encoding);
            fromDictionary_ = std::make_unique<TextConverter>(encoding, "UTF-8");
        } catch (const std::runtime_error& error) {
            throw DictionaryError(error.what());
        }
    }
    const std::string& wordCharacters = hunspell_->get_wordchars_cpp();
    splitter_ = WordSplitter(fromDictionary_ ? fromDictionary_->convert(wordCharacters).value_or("")
                                             : wordCharacters);
}

SpellChecker::~SpellChecker() = default;

std::optional<std::string> SpellChecker::toDictionary(std::string_view word) const {
    if (!toDictionary_)
        return std::string(word);
    return toDictionary_->convert(word);
}

bool SpellChecker::knowsAsWritten(std::string_view word) const {
    // A word the dictionary's character set cannot write is none of its words.
    const auto converted = toDictionary(word);
    return converted && hunspell_->spell(*converted);
}

bool SpellChecker::knows(std::string_view word) const {
    if (knowsAsWritten(word))
        return true;
    const std::string other = WithOtherApostrophes(word);
    return other != word && knowsAsWritten(other);
}

bool SpellChecker::knows(std::string_view line, const WordSpan& word) const {
    const std::string_view text = line.substr(word.begin, word.length);
    if (knows(text))
        return true;
    return word.followedByFullStop && knows(std::string(text) + '.');
}

std::vector<std::string> SpellChecker::suggest(std::string_view word) const {
    const auto converted = toDictionary(word);
    if (!converted)
        return {};
    std::vector<std::string> fromHunspell;
    for (const std::string& suggestion : hunspell_->suggest(*converted)) {
        if (!fromDictionary_)
            fromHunspell.push_back(suggestion);
        else if (auto back = fromDictionary_->convert(suggestion))
            fromHunspell.push_back(std::move(*back));
    }
    std::vector<std::string> confirmed;
    for (std::string& respelt : Respellings(code_, word))
        if (knows(respelt))
            confirmed.push_back(std::move(respelt));
    return OrderSuggestions(word, confirmed, fromHunspell);
}

void SpellChecker::add(std::string_view word) {
    if (const auto converted = toDictionary(word))
        hunspell_->add(*converted);
}

} // namespace stanzel
