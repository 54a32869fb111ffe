#include "spelling/dictionary_list.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace stanzel {

namespace {

const InstalledDictionary* Find(const std::vector<InstalledDictionary>& installed,
                                std::string_view code) {
    const auto found = std::find_if(installed.begin(), installed.end(),
                                    [&](const InstalledDictionary& d) { return d.code == code; });
    return found == installed.end() ? nullptr : &*found;
}

// "pt_BR" and "pt-BR" alike, "de_DE.UTF-8" without its character set.
std::string NormalisedLocale(std::string_view locale) {
    std::string code(locale.substr(0, locale.find_first_of(".@")));
    std::replace(code.begin(), code.end(), '-', '_');
    return code;
}

} // namespace

std::vector<std::filesystem::path> SystemDictionaryFolders() {
    return {"/usr/share/hunspell", "/usr/share/myspell", "/usr/share/myspell/dicts"};
}

std::vector<InstalledDictionary> FindDictionaries(
    const std::vector<std::filesystem::path>& folders) {
    std::vector<InstalledDictionary> found;
    for (const auto& folder : folders) {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end;
             !error && entry != end; entry.increment(error)) {
            const std::filesystem::path& affix = entry->path();
            if (affix.extension() != ".aff")
                continue;
            std::filesystem::path words = affix;
            words.replace_extension(".dic");
            std::error_code ignored;
            if (!std::filesystem::exists(words, ignored))
                continue;
            const std::string code = affix.stem().string();
            if (code.empty() || Find(found, code))
                continue;
            found.push_back({code, affix, words});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const InstalledDictionary& a, const InstalledDictionary& b) {
                  return a.code < b.code;
              });
    return found;
}

std::optional<std::string> DictionaryForLocale(std::string_view locale,
                                               const std::vector<InstalledDictionary>& installed) {
    std::string code = NormalisedLocale(locale);
    if (code.empty() || code == "C" || code == "POSIX")
        code = "en";
    if (Find(installed, code))
        return code;
    const std::string language = code.substr(0, code.find('_'));
    std::string country = language;
    for (char& c : country)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string own = language == "en" ? "en_US" : language + "_" + country;
    if (Find(installed, own))
        return own;
    for (const auto& dictionary : installed)
        if (dictionary.code.starts_with(language + "_"))
            return dictionary.code;
    return std::nullopt;
}

} // namespace stanzel
