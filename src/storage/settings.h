#pragma once

#include "storage/colour.h"
#include "storage/folder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace stanzel {

class IniFile;

inline constexpr std::string_view kSettingsFileName = "settings.ini";

struct IntegerSetting {
    std::string_view section;
    std::string_view key;
    std::int32_t fallback;
};

struct TextSetting {
    std::string_view section;
    std::string_view key;
    std::string_view fallback;
};

// A colour's fallback is the colour its element has when the entry is read.
struct ColourSetting {
    std::string_view section;
    std::string_view key;
    Colour builtIn;
};

// Every entry of the settings file; no section or key is spelt anywhere else.
namespace setting {
inline constexpr IntegerSetting autoid{"Save", "autoid", 1};
inline constexpr TextSetting lastSave{"Save", "last", "-"};
inline constexpr IntegerSetting exportOne{"Export", "one", 0};
inline constexpr IntegerSetting exportAll{"Export", "all", 0};
// The folder of the last PDF written; empty until one is.
inline constexpr TextSetting pdfFolder{"Export", "pdffolder", ""};
inline constexpr TextSetting language{"Language", "current", "English"};
inline constexpr IntegerSetting languageIndex{"Language", "id", 0};
inline constexpr IntegerSetting searchEngine{"Search", "selected", 0};
// View > Syllable Counts: 1 shows the margin beside the poem box, 0 not.
inline constexpr IntegerSetting syllableCounts{"View", "syllables", 1};
// The poem's language: a dictionary's code, "off", or empty until chosen.
inline constexpr TextSetting spellingDictionary{"Spelling", "dictionary", ""};
// The sync tools' conflict copies already taken in, their names separated by
// "/", so that a copy is merged once.
inline constexpr TextSetting conflictCopies{"Sync", "conflictcopies", ""};
// The code page of the collection's text that is not UTF-8, by a name iconv
// knows ("Windows-1250", "ISO-8859-2"); empty until detected or set by hand.
inline constexpr TextSetting codePage{"Text", "codepage", ""};
inline constexpr ColourSetting titleColour{"Colors", "poemt", kBoxColour};
inline constexpr ColourSetting poetColour{"Colors", "poet", kBoxColour};
inline constexpr ColourSetting dateColour{"Colors", "date", kBoxColour};
inline constexpr ColourSetting poemColour{"Colors", "poem", kBoxColour};
inline constexpr ColourSetting listColour{"Colors", "list", kBoxColour};
inline constexpr ColourSetting searchColour{"Colors", "search", kSearchColour};
inline constexpr ColourSetting oddRowColour{"Colors", "l1", kSearchColour};
inline constexpr ColourSetting evenRowColour{"Colors", "l2", kBoxColour};

// The colour entries in the order they are read and written.
inline constexpr std::array<ColourSetting, 8> colours{titleColour,  poetColour,   dateColour,
                                                      poemColour,   listColour,   searchColour,
                                                      oddRowColour, evenRowColour};
} // namespace setting

std::filesystem::path SettingsPath(const std::filesystem::path& programDir);
FileRef SettingsFile(std::shared_ptr<const Folder> collection);

std::int32_t ReadSetting(const IniFile& file, const IntegerSetting& entry);
std::string ReadSetting(const IniFile& file, const TextSetting& entry);
// `current` when the entry is missing or its text is neither a colour name
// nor a number.
Colour ReadSetting(const IniFile& file, const ColourSetting& entry, Colour current);

void WriteSetting(IniFile& file, const IntegerSetting& entry, std::int32_t value);
void WriteSetting(IniFile& file, const TextSetting& entry, std::string_view value);
void WriteSetting(IniFile& file, const ColourSetting& entry, Colour value);

} // namespace stanzel
