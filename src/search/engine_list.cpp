#include "search/engine_list.h"

#include "storage/atomic_file.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace stanzel {

namespace {

std::string_view UpToNul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

[[noreturn]] void ThrowCannotOpen(const std::filesystem::path& path, std::error_code error) {
    throw StorageError("Cannot open file " + Quoted(path) + ". " + DescribeError(error));
}

[[noreturn]] void ThrowCannotCreate(const std::filesystem::path& path, std::error_code error) {
    throw StorageError("Cannot create file " + Quoted(path) + ". " + DescribeError(error));
}

// Every break as SplitLines sees it, CR LF, lone CR or lone LF, becomes
// `newBreak`. An LF followed by a CR stays two breaks, as the menu reads it.
std::string ReplaceLineBreaks(std::string_view text, std::string_view newBreak) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            result += newBreak;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

std::filesystem::path EngineFilePath(const std::filesystem::path& programDir) {
    return programDir / kEngineFileName;
}

std::vector<std::string> EngineLinesFromBytes(std::string_view bytes) {
    return SplitLines(UpToNul(bytes));
}

std::vector<EngineMenuEntry> EngineMenuEntries(std::span<const std::string> lines) {
    std::vector<EngineMenuEntry> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int tag = static_cast<int>(i + 1);
        if (const auto bar = line.find('|'); bar != std::string::npos)
            entries.push_back({line.substr(0, bar), tag, true});
        else if (line.empty())
            entries.push_back({"-", tag, false});
    }
    return entries;
}

std::optional<std::vector<std::string>> ReadEngineLines(const std::filesystem::path& programDir) {
    const auto path = EngineFilePath(programDir);
    const FileContents contents = ReadWholeFile(path);
    if (contents.missing())
        return std::nullopt;
    if (contents.error)
        ThrowCannotOpen(path, contents.error);
    return EngineLinesFromBytes(contents.bytes);
}

std::string EditorTextFromFile(std::string_view bytes) {
    return ReplaceLineBreaks(UpToNul(bytes), "\n");
}

std::string FileTextFromEditor(std::string_view boxText) {
    return ReplaceLineBreaks(boxText, "\r\n");
}

std::optional<std::string> OpenEngineEditor(const std::filesystem::path& programDir) {
    const auto path = EngineFilePath(programDir);
    const FileContents contents = ReadWholeFile(path);
    if (!contents.error)
        return EditorTextFromFile(contents.bytes);
    if (!contents.missing())
        ThrowCannotOpen(path, contents.error);

    // Only a file of its own: a link in its place that leads nowhere (or a
    // file that appeared meanwhile) is left as it stands, and nothing is
    // ever made where a link points.
    const int fd = OpenInFolder(FileRef(path), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
        ThrowCannotCreate(path, {errno, std::generic_category()});
    if (fd >= 0)
        ::close(fd);
    return std::nullopt;
}

void SaveEngineEditor(const std::filesystem::path& programDir, std::string_view boxText) {
    const auto path = EngineFilePath(programDir);
    if (const auto error = ReplaceFileAtomically(path, FileTextFromEditor(boxText)))
        ThrowCannotCreate(path, error);
}

} // namespace stanzel
