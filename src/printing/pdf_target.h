#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel {

// The file Export as PDF writes for the name the save dialog returned: the
// name itself when it ends in ".pdf" in any letter case, otherwise the name
// with ".pdf" appended.
std::filesystem::path PdfTarget(const std::filesystem::path& chosen);

// The name the save dialog suggests for a poem: its title with ".pdf", what
// no file name may hold ("/", NUL) made "_". Never a name that means a
// folder ("." or "..").
std::string SuggestedPdfName(std::string_view title);

// The folder of a written PDF as the settings file keeps it, for the next
// export's dialog; nothing for a folder the settings file could not give
// back as it was (a line break in its name, or longer than a value holds).
std::optional<std::string> FolderToRemember(const std::filesystem::path& written);

} // namespace stanzel
