#include "localisation/language_list.h"

#include "localisation/interface_strings.h"
#include "storage/ascii.h"
#include "storage/ini_file.h"

#include <array>
#include <utility>

namespace stanzel {

namespace {

constexpr std::string_view kExtension = ".lng";

bool EndsWithExtension(std::string_view name) {
    return name.size() >= kExtension.size() &&
           EqualsIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension);
}

std::string WithoutExtension(std::string name) {
    for (auto at = name.find(kExtension); at != std::string::npos; at = name.find(kExtension))
        name.erase(at, kExtension.size());
    return name;
}

// Languages whose files are often named in English.
constexpr std::array<std::pair<std::string_view, std::string_view>, 16> kOwnNames{{
    {"German", "Deutsch"},
    {"Hungarian", "Magyar"},
    {"French", "Français"},
    {"Spanish", "Español"},
    {"Italian", "Italiano"},
    {"Dutch", "Nederlands"},
    {"Polish", "Polski"},
    {"Portuguese", "Português"},
    {"Czech", "Čeština"},
    {"Slovak", "Slovenčina"},
    {"Romanian", "Română"},
    {"Swedish", "Svenska"},
    {"Finnish", "Suomi"},
    {"Danish", "Dansk"},
    {"Norwegian", "Norsk"},
    {"Croatian", "Hrvatski"},
}};

constexpr std::string_view kOwnNameKey = "languagename";

} // namespace

std::string LanguageOwnName(const std::filesystem::path& programDir, const std::string& language) {
    const IniFile file(LanguageFilePath(programDir, language));
    std::string given = file.ReadText(kLanguageSection, kOwnNameKey, "");
    if (!given.empty())
        return given;
    for (const auto& [english, own] : kOwnNames)
        if (EqualsIgnoringAsciiCase(english, language))
            return std::string(own);
    return language;
}

std::vector<std::string> ListLanguages(const std::filesystem::path& programDir) {
    std::vector<std::string> languages;
    std::error_code error;
    std::filesystem::directory_iterator entries(programDir / "lang", error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (EndsWithExtension(name))
            languages.push_back(WithoutExtension(name));
    }
    return languages;
}

} // namespace stanzel
