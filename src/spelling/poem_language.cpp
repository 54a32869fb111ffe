#include "spelling/poem_language.h"

#include <algorithm>

namespace stanzel {

PoemLanguage PoemLanguage::FromSetting(std::string_view stored, std::string_view interfaceLocale,
                                       const std::vector<InstalledDictionary>& installed) {
    if (stored == kOff)
        return {};
    const bool storedInstalled =
        std::any_of(installed.begin(), installed.end(),
                    [&](const InstalledDictionary& d) { return d.code == stored; });
    if (storedInstalled)
        return PoemLanguage(std::string(stored));
    if (auto code = DictionaryForLocale(interfaceLocale, installed))
        return PoemLanguage(std::move(*code));
    return {};
}

} // namespace stanzel
