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

ExportTarget ResolveExportTarget(const std::filesystem::path& chosen, ExportFormat format) {
    if (FileExists(chosen))
        return {chosen, true};
    std::filesystem::path extended = chosen;
    extended += std::string(FileExtension(format));
    return {extended, FileExists(extended)};
}

namespace {

// A file its owner made read-only stays as it is: replacing goes by
// renaming, which the file's own permissions would not stop.
void RefuseReadOnlyFile(const std::filesystem::path& path) {
    if (FileExists(path) && ::access(path.c_str(), W_OK) != 0)
        throw StorageError(CannotCreate(path, {errno, std::generic_category()}));
}

// No temporary file can be made beside the target (a folder the user may not
// write to), but the target itself may be written.
bool MustWriteInPlace(const std::filesystem::path& path, const std::error_code& error) {
    return (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) &&
           FileExists(path) && ::access(path.c_str(), W_OK) == 0;
}

void WriteInPlace(const std::filesystem::path& path, std::string_view document) {
    if (const auto error = OverwriteFileInPlace(path, document))
        throw StorageError(CannotCreate(path, error));
}

} // namespace

void WriteExportFile(const std::filesystem::path& path, std::string_view document) {
    RefuseReadOnlyFile(path);
    FileReplacement replacement;
    if (const auto error = replacement.Prepare(path, document)) {
        if (!MustWriteInPlace(path, error))
            throw StorageError(CannotCreate(path, error));
        WriteInPlace(path, document);
        return;
    }
    if (const auto failure = replacement.Commit())
        throw StorageError(CannotCreate(path, failure->error));
}

SavedExport SaveExportDocument(const std::filesystem::path& chosen, int filterIndex,
                               const DocumentMaker& make, ExportKind kind,
                               const std::filesystem::path& programDir,
                               const ConfirmOverwrite& confirmOverwrite) {
    const auto format = FormatOfFilterIndex(filterIndex);
    if (!format)
        throw std::invalid_argument("No export format at that filter index");
    const ExportTarget target = ResolveExportTarget(chosen, *format);

    // The document and the remembered choice are written together or not at
    // all. The settings are prepared first: their old text is at hand to put
    // back, while a replaced document's is not, so the document is put in
    // place last.
    IniFile settings(SettingsPath(programDir));
    settings.HoldWrites();
    WriteSetting(settings, RememberedFormatSetting(kind), filterIndex);
    FileReplacement replacement;
    if (replacement.Prepare(settings.file(), settings.Contents(), settings.HeldOriginal()))
        throw StorageError(settings.UnableToWrite());

    // The document goes to a new file beside the target as it is made; only
    // a target that must be written in place has it held until the question
    // has been answered.
    std::optional<std::string> inPlace;
    if (const auto error = replacement.Begin(target.path)) {
        if (!MustWriteInPlace(target.path, error))
            throw StorageError(CannotCreate(target.path, error));
        inPlace.emplace();
    }
    const bool made = make([&](std::string_view bytes) {
        if (inPlace)
            inPlace->append(bytes);
        else if (const auto error = replacement.Write(bytes))
            throw StorageError(CannotCreate(target.path, error));
    });
    if (!made)
        return {SaveOutcome::Cancelled, {}};
    // Asked once the document is made, as a document built whole would be.
    if (target.replacesFile && !confirmOverwrite(target.path))
        return {SaveOutcome::OverwriteDeclined, {}};
    RefuseReadOnlyFile(target.path);
    if (inPlace)
        WriteInPlace(target.path, *inPlace);
    else if (const auto error = replacement.End())
        throw StorageError(CannotCreate(target.path, error));
    if (const auto failure = replacement.Commit())
        throw StorageError(SameFile(failure->file, target.path)
                               ? CannotCreate(target.path, failure->error)
                               : settings.UnableToWrite());
    return {SaveOutcome::Written, target.path};
}

} // namespace stanzel
