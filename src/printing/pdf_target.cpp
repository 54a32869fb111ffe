#include "printing/pdf_target.h"

#include <algorithm>

namespace stanzel {

namespace {

// The longest value the settings file gives back whole.
constexpr std::size_t kLongestSettingValue = 2047;

} // namespace

std::filesystem::path PdfTarget(const std::filesystem::path& chosen) {
    const std::string name = chosen.filename().string();
    std::string ending = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (ending == ".pdf" && name.size() > 4)
        return chosen;
    std::filesystem::path target = chosen;
    target += ".pdf";
    return target;
}

std::string SuggestedPdfName(std::string_view title) {
    std::string name(title);
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    if (name.empty() || name == "." || name == "..")
        name = "poem";
    return name + ".pdf";
}

std::optional<std::string> FolderToRemember(const std::filesystem::path& written) {
    const std::string folder = written.parent_path().string();
    if (folder.empty() || folder.size() > kLongestSettingValue ||
        folder.find_first_of("\r\n") != std::string::npos)
        return std::nullopt;
    return folder;
}

} // namespace stanzel
