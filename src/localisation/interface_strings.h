#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace stanzel {

class CollectionCodePage;

// Captions go on their controls when a language is applied; message texts are
// kept and taken by each command at the moment it shows them.
enum class StringUse { Caption, Message };

struct InterfaceString {
    std::string_view key;
    std::string_view english;
    StringUse use;
};

// The table in the order it is applied: 98 rows over 97 keys, since "save"
// is both the File > Save caption and the title of the save confirmation.
std::span<const InterfaceString> InterfaceStringTable();

inline constexpr std::string_view kEnglish = "English";
inline constexpr std::string_view kLanguageSection = "language";

// lang/<name>.lng in the program directory.
std::filesystem::path LanguageFilePath(const std::filesystem::path& programDir,
                                       std::string_view language);

// The current text of every key. Empty until a language is first applied.
class InterfaceStrings {
public:
    // Reads every key from the language file, with its English text where the
    // file lacks it; a missing or unreadable file gives English throughout.
    // A text that is not UTF-8 is read in `codePage`, the collection's;
    // without one it is taken as it stands.
    static InterfaceStrings Load(const std::filesystem::path& languageFile,
                                 const CollectionCodePage* codePage = nullptr);
    static InterfaceStrings English();
    // The language the collection's settings file names, for what is said
    // before its window opens.
    static InterfaceStrings OfCollection(const std::filesystem::path& programDir);

    // The key's current text; empty for a key that is not in the table.
    const std::string& operator[](std::string_view key) const;

    // The locale the language file names for the language (`locale=de` in its
    // section), for what the toolkit itself says in that language; empty when
    // the file names none, and for English.
    const std::string& locale() const { return locale_; }

private:
    std::unordered_map<std::string_view, std::string> texts_;
    std::string locale_;
};

// The key of a language file's locale; it is no interface string.
inline constexpr std::string_view kLocaleKey = "locale";

// Puts `argument` in place of the template's first "%s". Anything else in the
// template, other directives included, is shown as it stands.
std::string FormatTemplate(std::string_view templateText, std::string_view argument);
// The same for two: `first` in place of the first "%s", `second` of the one
// after it; a "%s" in `first` stays as it is.
std::string FormatTemplate(std::string_view templateText, std::string_view first,
                           std::string_view second);

// The status bar under the last-saved label: the label, one blank, the time.
std::string LastSaveStatus(std::string_view label, std::string_view time);

} // namespace stanzel
