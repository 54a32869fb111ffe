#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// The user's own list of web search engines, one "name|address" a line, kept
// in the program directory. The program ships none.
inline constexpr std::string_view kEngineFileName = "search.egs";

std::filesystem::path EngineFilePath(const std::filesystem::path& programDir);

// The lines of the file's bytes: a NUL ends the text, and CR LF, a lone LF and
// a lone CR each end a line; a break at the very end makes no extra line.
std::vector<std::string> EngineLinesFromBytes(std::string_view bytes);

// One entry of the engine menu, in file order. Its position in the menu
// (0-based, separators counted) is what the settings file keeps.
struct EngineMenuEntry {
    // The text before the line's first "|", as it stands (it may be empty);
    // "-" for the separator an empty line makes.
    std::string caption;
    // The number of the line that made the entry, counting every line from 1,
    // so the engine's own line is always at hand.
    int tag = 0;
    // Engine entries choose their engine when clicked; the separator of an
    // empty line has no action.
    bool isEngine = false;

    // Menus draw an entry captioned "-" as a separator line, an engine named
    // "-" included; such an engine can still be chosen by the restored setting.
    bool showsAsSeparator() const { return caption == "-"; }
};

// A line with a "|" is an engine, an empty line a separator, and any other
// line (text without "|", blanks alone) makes no entry but uses up its number.
std::vector<EngineMenuEntry> EngineMenuEntries(std::span<const std::string> lines);

// The lines of search.egs in the program directory, or nothing when there is
// no such file. StorageError("Cannot open file ...") when it cannot be read.
std::optional<std::vector<std::string>> ReadEngineLines(const std::filesystem::path& programDir);

// The editor shows the file as the text of a plain-text box, whose lines are
// separated by LF alone. Every break the menu sees becomes one LF, so pressing
// Ok on an unchanged box gives the same lines back; a NUL ends the text, as it
// does for the menu.
std::string EditorTextFromFile(std::string_view bytes);

// What Ok writes for the box's text: the text unchanged but for its line
// breaks (LF, CR or CR LF), which become CR LF; nothing is added at the end.
std::string FileTextFromEditor(std::string_view boxText);

// Opening the editor: the text for its box, or nothing when the file was
// missing, in which case it is created empty and the box keeps what it holds.
// StorageError when the file can be neither read nor created.
std::optional<std::string> OpenEngineEditor(const std::filesystem::path& programDir);

// Ok in the editor: replaces search.egs atomically with the box's text.
// StorageError("Cannot create file ...") leaves the old file as it was.
void SaveEngineEditor(const std::filesystem::path& programDir, std::string_view boxText);

} // namespace stanzel
