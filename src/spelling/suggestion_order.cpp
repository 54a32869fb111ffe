#include "spelling/suggestion_order.h"

#include "search/text_folding.h"
#include "spelling/letters.h"

#include <algorithm>

namespace stanzel {

namespace {

enum class Place { WholeWord, Ending };

struct Respelling {
    std::string_view language; // the code's language part
    Place place;
    std::string_view written;  // in small letters
    std::string_view meant;
};

// Spellings of the sound rather than the word, as they are met in songs and
// messages; each only ever offered when the dictionary knows the result.
constexpr Respelling kRespellings[] = {
    {"en", Place::Ending, "ite", "ight"},  // nite, lite, brite, tonite
    {"en", Place::Ending, "ites", "ights"},
    {"en", Place::WholeWord, "thru", "through"},
    {"en", Place::WholeWord, "tho", "though"},
    {"en", Place::WholeWord, "altho", "although"},
    {"en", Place::WholeWord, "u", "you"},
    {"en", Place::WholeWord, "ur", "your"},
    {"en", Place::WholeWord, "cuz", "because"},
    {"en", Place::WholeWord, "luv", "love"},
    {"en", Place::WholeWord, "nite", "night"},
};

std::string AsciiLower(std::string_view word) {
    std::string lower(word);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The first letter of the word, folded: "Ő" and "o" alike.
std::string FirstLetterFolded(std::string_view word) {
    const Utf8Character first = DecodeUtf8At(word, 0);
    const std::string folded = FoldText(word.substr(0, first.length));
    return folded.substr(0, DecodeUtf8At(folded, 0).length);
}

} // namespace

std::vector<std::string> Respellings(std::string_view language, std::string_view word) {
    const std::string_view languagePart = language.substr(0, language.find('_'));
    const std::string lower = AsciiLower(word);
    const bool capital = !word.empty() && word[0] >= 'A' && word[0] <= 'Z';
    std::vector<std::string> results;
    for (const Respelling& rule : kRespellings) {
        if (rule.language != languagePart)
            continue;
        std::string respelt;
        if (rule.place == Place::WholeWord && lower == rule.written)
            respelt = rule.meant;
        else if (rule.place == Place::Ending && lower.size() > rule.written.size() &&
                 lower.ends_with(rule.written))
            respelt = std::string(word.substr(0, word.size() - rule.written.size())) +
                      std::string(rule.meant);
        else
            continue;
        if (capital && respelt[0] >= 'a' && respelt[0] <= 'z')
            respelt[0] = static_cast<char>(respelt[0] - 'a' + 'A');
        if (std::find(results.begin(), results.end(), respelt) == results.end())
            results.push_back(std::move(respelt));
    }
    return results;
}

std::vector<std::string> OrderSuggestions(std::string_view word,
                                          const std::vector<std::string>& respellings,
                                          const std::vector<std::string>& hunspell,
                                          std::size_t limit) {
    std::vector<std::string> ordered;
    const auto take = [&](const std::string& suggestion) {
        if (ordered.size() < limit && suggestion != word && !suggestion.empty() &&
            std::find(ordered.begin(), ordered.end(), suggestion) == ordered.end())
            ordered.push_back(suggestion);
    };
    for (const auto& suggestion : respellings)
        take(suggestion);
    const std::string first = FirstLetterFolded(word);
    for (const auto& suggestion : hunspell)
        if (FirstLetterFolded(suggestion) == first)
            take(suggestion);
    for (const auto& suggestion : hunspell)
        take(suggestion);
    return ordered;
}

} // namespace stanzel
