#include "localisation/language_list.h"

#include "storage/ascii.h"

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

} // namespace

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
