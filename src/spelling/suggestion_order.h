#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

inline constexpr std::size_t kMostSuggestions = 7;

// Common respellings of a language that Hunspell's own tables miss ("Nite"
// for "Night", "thru" for "through"): the words they would give, for the
// dictionary to confirm. `language` is a dictionary code ("en_US").
std::vector<std::string> Respellings(std::string_view language, std::string_view word);

// The suggestions in the order they are offered, at most `limit`: the
// confirmed respellings first, then Hunspell's, those that keep the word's
// first letter (case and accents aside) before the rest: a slip of the first
// letter is the rarest. Otherwise Hunspell's order stands. Duplicates and
// the word itself are left out.
std::vector<std::string> OrderSuggestions(std::string_view word,
                                          const std::vector<std::string>& respellings,
                                          const std::vector<std::string>& hunspell,
                                          std::size_t limit = kMostSuggestions);

} // namespace stanzel
