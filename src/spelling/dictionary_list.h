#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// A Hunspell dictionary on this computer: the two files, and the language
// code their name gives ("en_US" for en_US.aff and en_US.dic).
struct InstalledDictionary {
    std::string code;
    std::filesystem::path affixFile;
    std::filesystem::path wordFile;
    bool operator==(const InstalledDictionary&) const = default;
};

// Where Debian's hunspell-* packages install their dictionaries, and where
// older packages put them.
std::vector<std::filesystem::path> SystemDictionaryFolders();

// Every .aff file with its .dic beside it in the folders, sorted by code; a
// code found in two folders is the first folder's. Missing folders give
// nothing. Only names are looked at: whether the files can be read shows
// when one is loaded.
std::vector<InstalledDictionary> FindDictionaries(
    const std::vector<std::filesystem::path>& folders);

// The dictionary for a language code such as the interface's locale ("de",
// "hu", "pt_BR"; empty for English): the code itself, else the language's
// own country (de_DE, hu_HU; en_US for English), else the first of that
// language. Nothing when none is installed.
std::optional<std::string> DictionaryForLocale(std::string_view locale,
                                               const std::vector<InstalledDictionary>& installed);

} // namespace stanzel
