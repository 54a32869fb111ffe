#pragma once

#include "spelling/dictionary_list.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// The language the poems are written in, as Edit > Spelling chooses it: a
// dictionary's language code ("en_US", "de_DE", "hu_HU"), or none when
// spelling is off. What checks or counts words by language asks it.
class PoemLanguage {
public:
    // The settings entry's text for "Off".
    static constexpr std::string_view kOff = "off";

    PoemLanguage() = default; // off
    explicit PoemLanguage(std::string code) : code_(std::move(code)) {}

    // From the settings entry: "off", a dictionary's code, or nothing yet
    // (the first start) or a code no longer installed, which both follow
    // the interface's locale (see DictionaryForLocale).
    static PoemLanguage FromSetting(std::string_view stored, std::string_view interfaceLocale,
                                    const std::vector<InstalledDictionary>& installed);

    const std::optional<std::string>& code() const { return code_; }
    bool off() const { return !code_; }
    // What the settings entry keeps.
    std::string settingText() const { return code_ ? *code_ : std::string(kOff); }

    bool operator==(const PoemLanguage&) const = default;

private:
    std::optional<std::string> code_;
};

} // namespace stanzel
