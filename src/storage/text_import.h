#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// Interface-string keys of the messages a drop can show; every one of them is
// shown with the caption "import".
inline constexpr std::string_view kTooManyFilesKey = "warning1";   // warning icon, OK
inline constexpr std::string_view kNotTextFileKey = "warning2";    // warning icon, OK
inline constexpr std::string_view kFileTooBigKey = "warning3";     // warning icon, OK

// A file is accepted while its size in whole kilobytes (rounded down) is at
// most 100, so the largest one is a byte short of 101 KiB.
inline constexpr std::uintmax_t kLargestImportBytes = 101 * 1024 - 1;

struct DropImport {
    enum class Outcome {
        Ignored,  // the drop carried no file
        Refused,  // show `warningKey` (warning icon, OK) and change nothing
        Declined, // the user answered No; change nothing
        Imported, // a new, unsaved poem: `title` and `text`
    };
    Outcome outcome = Outcome::Ignored;
    std::string_view
        warningKey;       // with Refused: kTooManyFilesKey, kNotTextFileKey or kFileTooBigKey
    std::string fileName; // the name the question showed, with its extension
    std::string title;    // the name up to its first "."
    std::string text;     // UTF-8, lines separated by CR LF
};

// Asks "warning4" with `fileName` in place of "%s"; true means Yes.
using ImportQuestion = std::function<bool(const std::string& fileName)>;

// Handles the files dropped onto the window: the three checks, the question,
// then the file's text. Nothing on disk changes. A file that cannot be opened
// or read raises StorageError ("Cannot open file "<path>". <cause>"), and the
// window keeps what it held.
DropImport ImportDroppedFiles(const std::vector<std::filesystem::path>& paths,
                              const ImportQuestion& ask);

// The text of a file written on any system, as UTF-8 with CR LF line breaks.
// Bytes that are not valid UTF-8 come from an older system and are read as
// Windows-1252; a leading UTF-8 byte-order mark is dropped.
std::string DecodeTextFile(std::string_view bytes);

} // namespace stanzel
