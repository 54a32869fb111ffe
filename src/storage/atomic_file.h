#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace stanzel {

// The whole contents of a file, or the reason it could not be read.
struct FileContents {
    std::string bytes;
    std::error_code error; // set when the file is missing or unreadable
    bool missing() const { return error == std::errc::no_such_file_or_directory; }
};

FileContents ReadWholeFile(const std::filesystem::path& path);

// Replaces `path` with `bytes` so that a crash at any moment leaves either the
// old file or the new one: the bytes go to a temporary file beside it, which is
// flushed to disk and then renamed over the old one. The file keeps its
// permissions; a link is followed and its target replaced. On failure the old
// file is untouched and the returned code says why.
std::error_code ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files that ReplaceFileAtomically left in `directory`
// when its process was killed mid-write: those of processes that no longer
// run. Files of a running process, and every other file, stay.
void RemoveStaleTemporaryFiles(const std::filesystem::path& directory);

// The system's description of an error, for messages shown to the user.
std::string DescribeError(const std::error_code& error);

} // namespace stanzel
