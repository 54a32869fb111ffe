#include "export/save_step.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/storage_error.h"

#include <array>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

namespace stanzel {

namespace {

// An existing file, not a folder: a folder of the chosen name is never
// replaced, and the extension is appended to its name instead.
bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::string CannotCreate(const std::filesystem::path& path, const std::error_code& error) {
    return "Cannot create file \"" + path.string() + "\". " + DescribeError(error);
}

} // namespace

std::vector<FilterEntry> ExportFilterEntries(const ExportLabels& labels) {
    return {
        {ExportFormat::Text, labels.textFiles + " (*.txt)", "*.txt"},
        {ExportFormat::Xhtml, labels.htmlDocuments + " (*.html)", "*.html"},
        {ExportFormat::AbiWord, "AbiWord (*.abw)", "*.abw"},
    };
}

std::string ExportFilterString(const ExportLabels& labels) {
    std::string filter;
    for (const FilterEntry& entry : ExportFilterEntries(labels)) {
        if (!filter.empty())
            filter += '|';
        filter += entry.description + "|" + entry.pattern;
    }
    return filter;
}

int PreselectedFilterIndex(std::int32_t remembered) {
    return FormatOfFilterIndex(remembered) ? static_cast<int>(remembered) : 1;
}

std::optional<ExportFormat> FormatOfFilterIndex(int filterIndex) {
    switch (filterIndex) {
    case 1:
        return ExportFormat::Text;
    case 2:
        return ExportFormat::Xhtml;
    case 3:
        return ExportFormat::AbiWord;
    default:
        return std::nullopt;
    }
}

std::string_view FileExtension(ExportFormat format) {
    switch (format) {
    case ExportFormat::Text:
        return ".txt";
    case ExportFormat::Xhtml:
        return ".html";
    case ExportFormat::AbiWord:
        return ".abw";
    }
    throw std::invalid_argument("Unknown export format");
}

const IntegerSetting& RememberedFormatSetting(ExportKind kind) {
    return kind == ExportKind::OnePoem ? setting::exportOne : setting::exportAll;
}

std::int32_t ReadRememberedFormat(const std::filesystem::path& programDir, ExportKind kind) {
    const IniFile settings(SettingsPath(programDir));
    return ReadSetting(settings, RememberedFormatSetting(kind));
}

void RememberExportFormat(const std::filesystem::path& programDir, ExportKind kind,
                          int filterIndex) {
    IniFile settings(SettingsPath(programDir));
    WriteSetting(settings, RememberedFormatSetting(kind), filterIndex);
}

ExportTarget ResolveExportTarget(const std::filesystem::path& chosen, ExportFormat format) {
    if (FileExists(chosen))
        return {chosen, true};
    std::filesystem::path extended = chosen;
    extended += std::string(FileExtension(format));
    return {extended, FileExists(extended)};
}

void WriteExportFile(const std::filesystem::path& path, std::string_view document) {
    // Replacing goes by renaming, which the file's own permissions do not
    // stop; a file its owner made read-only must stay as it is.
    if (FileExists(path) && ::access(path.c_str(), W_OK) != 0)
        throw StorageError(CannotCreate(path, {errno, std::generic_category()}));
    if (const auto error = ReplaceFileAtomically(path, document))
        throw StorageError(CannotCreate(path, error));
}

std::optional<std::filesystem::path> SaveExportDocument(const std::filesystem::path& chosen,
                                                        int filterIndex, std::string_view document,
                                                        ExportKind kind,
                                                        const std::filesystem::path& programDir,
                                                        const ConfirmOverwrite& confirmOverwrite) {
    const auto format = FormatOfFilterIndex(filterIndex);
    if (!format)
        throw std::invalid_argument("No export format at that filter index");
    const ExportTarget target = ResolveExportTarget(chosen, *format);
    if (target.replacesFile && !confirmOverwrite(target.path))
        return std::nullopt;
    WriteExportFile(target.path, document);
    RememberExportFormat(programDir, kind, filterIndex);
    return target.path;
}

} // namespace stanzel
