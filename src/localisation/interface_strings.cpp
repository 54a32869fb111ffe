#include "localisation/interface_strings.h"

#include "storage/code_page.h"
#include "storage/ini_file.h"
#include "storage/settings.h"

#include <array>

namespace stanzel {

namespace {

constexpr auto C = StringUse::Caption;
constexpr auto M = StringUse::Message;

constexpr std::array<InterfaceString, 121> kTable{{
    {"file", "File", C},
    {"new", "New", C},
    {"save", "Save", C},
    {"export", "Export", C},
    {"exportall", "Export all", C},
    {"exit", "Exit", C},
    {"view", "View", C},
    {"toolbar", "Toolbar", C},
    {"statusbar", "Statusbar", C},
    {"clist", "Colorize #2 List Items", C},
    {"listid", "List ID", C},
    {"edit", "Edit", C},
    {"search", "Search", C},
    {"net", "Search Online", C},
    {"delete", "Delete", C},
    {"colors", "Background Colors", C},
    {"plc", "Poem List", C},
    {"plic", "Poem List 2# Items", C},
    {"netsec", "Search Online", C},
    {"poemtitlec", "Poem Title", C},
    {"poetc", "Poet", C},
    {"datec", "Date of writing", C},
    {"poemc", "Poem", C},
    {"defaultc", "Default", C},
    {"language", "Language", C},
    {"help", "Help", C},
    {"about", "About", C},
    {"poemslist", "Poems", C},
    {"poemtitle", "Poem Title:", C},
    {"poem", "Poem:", C},
    {"poet", "Poet:", C},
    {"date", "Date of writing:", C},
    {"searchpoet", "Search Poet Online", C},
    {"import", "Import", M},
    {"warning1", "You can add only one file at a time!", M},
    {"warning2", "This is not a text file!", M},
    {"warning3", "The file is too big! Maximum file size: 100Kb.", M},
    {"warning4", "Do you want to import the \"%s\" poem from file?", M},
    {"save", "Save", M},
    {"savemsg", "Poems \"%s\" saved.", M},
    {"lastsave", "Last saved:", M},
    {"deletemsg", "Are you sure to delete \"%s\" poem?", M},
    {"quest", "Confirmation", M},
    {"txt", "Text files", M},
    {"html", "Html Documents", M},
    {"overwrite", "File \"%s\" is already exists. Do you want to overwrite?", M},
    {"searching", "Searching...", M},
    {"searchmsg", "Search string in poems title:", M},
    {"searchfail", "Sorry, not found \"%s\" string in poems title.", M},
    {"engine", "Search Engines", C},
    {"engineinfo", "Format:  name|url", C},
    {"engineeditor", "Search Engine Editor", C},
    {"enginecancel", "Cancel", C},
    {"print", "Print", C},
    {"printmsg", "Are you sure print \"%s\" poem?", M},
    {"recoverdraft", "Recover Draft…", C},
    {"drafts", "Recover Draft", M},
    {"drafttime", "Time", M},
    {"drafttitle", "Title", M},
    {"draftline", "First line", M},
    {"draftrecover", "Recover", M},
    {"draftdelete", "Delete", M},
    {"draftcancel", "Cancel", M},
    {"nodrafts", "No drafts are kept.", M},
    {"draftkept", "A draft of \"%s\" was kept: Edit > Recover Draft", M},
    {"draftnotkept", "The changes to \"%s\" could not be kept as a draft: %s. Discard them?", M},
    {"changedelsewhere", "Poems changed elsewhere: %s", M},
    {"poemchangedelsewhere",
     "\"%s\" was changed elsewhere; Save keeps your version and the other as a draft", M},
    {"otherversionkept", "The version of \"%s\" saved elsewhere was kept as a draft", M},
    {"otherversionnotkept",
     "The version of \"%s\" saved elsewhere could not be kept as a draft, so nothing was saved: %s",
     M},
    {"conflictpoems", "Poems brought back from a sync tool's conflict copy: %s", M},
    {"conflicttexts", "Texts of a sync tool's conflict copy kept as drafts: %s", M},
    {"conflictrefused", "A conflict copy was not taken in: %s", M},
    {"findinpoems", "Find in Poems…", C},
    {"findpanel", "Find in Poems", C},
    {"findwords", "Words in a title, poet, date or poem", C},
    {"findreading", "Reading the poems… %s", M},
    {"findcount", "Poems found: %s", M},
    {"printpreview", "Print Preview…", C},
    {"exportpdf", "Export as PDF…", C},
    {"pdf", "PDF documents", M},
    {"spelling", "Spelling", C},
    {"spellingoff", "Off", C},
    {"addtodictionary", "Add to Dictionary", M},
    {"ignoreword", "Ignore", M},
    {"suggesting", "Looking for suggestions…", M},
    {"nosuggestions", "No suggestions", M},
    {"spellingfailed", "Spelling is off: the dictionary %s cannot be read.", M},
    {"wordlistfailed", "Unable to write to %s", M},
    {"syllablecounts", "Syllable Counts", C},
    {"countline", "Line %s:", M},
    {"countsyllable", "%s syllable", M},
    {"countsyllables", "%s syllables", M},
    {"countabout", "about %s", M},
    {"countlineone", "%s line", M},
    {"countlines", "%s lines", M},
    {"countstanza", "%s stanza", M},
    {"countstanzas", "%s stanzas", M},
    {"countword", "%s word", M},
    {"countwords", "%s words", M},
    {"needtitle", "A poem needs a title to be saved", M},
    {"needtext", "A poem needs some text to be saved", M},
    {"nodeleterow", "Choose the poem to delete in the list", M},
    {"noengine", "No search engine yet: Edit > Search Engines", M},
    {"nosearchwords", "Type the words to look for in the box beside the button", M},
    {"nobrowser", "No program is set up to open %s", M},
    {"nomailprogram", "No mail program is set up: write to %s", M},
    {"poemdeleted", "\"%s\" was deleted: Edit > Recover Draft brings it back", M},
    {"draftofdeleted", "%s (deleted)", M},
    {"draftfromelsewhere", "%s (changed elsewhere)", M},
    {"email", "Email", C},
    {"aboutline", "A notebook for poems.", M},
    {"aboutwriters", "Written by the Stanzel developers.", M},
    {"aboutbuilt", "Built with Qt 6.", M},
    {"abouthome", "Home page: %s", M},
    {"aboutcollection", "Collection: %s", M},
    {"alreadyopen", "Stanzel is already open on the collection in %s.", M},
    {"clearfind", "Clear", C},
    {"zoomin", "Zoom In", C},
    {"zoomout", "Zoom Out", C},
    {"zoomreset", "Normal Size", C},
}};

const std::string kNoText;

} // namespace

std::span<const InterfaceString> InterfaceStringTable() {
    return kTable;
}

std::filesystem::path LanguageFilePath(const std::filesystem::path& programDir,
                                       std::string_view language) {
    // The name comes from the settings file, which may have been edited by
    // hand: it must never lead out of the language folder.
    std::string fileName(language);
    for (char& c : fileName)
        if (c == '/' || c == '\\' || c == '\0')
            c = '_';
    return programDir / "lang" / (fileName + ".lng");
}

InterfaceStrings InterfaceStrings::Load(const std::filesystem::path& languageFile,
                                        const CollectionCodePage* codePage) {
    const IniFile file(languageFile);
    // The whole file tells its code page best, should nothing else of the
    // collection tell it.
    const auto read = [&](std::string_view key, std::string_view fallback) {
        std::string text = file.ReadText(kLanguageSection, key, fallback);
        return codePage ? codePage->ToUtf8(text, file.Contents()) : text;
    };
    InterfaceStrings strings;
    for (const auto& row : kTable)
        strings.texts_[row.key] = read(row.key, row.english);
    strings.locale_ = read(kLocaleKey, "");
    return strings;
}

InterfaceStrings InterfaceStrings::OfCollection(const std::filesystem::path& programDir) {
    const IniFile settings(SettingsPath(programDir));
    return Load(LanguageFilePath(programDir, ReadSetting(settings, setting::language)));
}

InterfaceStrings InterfaceStrings::English() {
    InterfaceStrings strings;
    for (const auto& row : kTable)
        strings.texts_[row.key] = std::string(row.english);
    return strings;
}

const std::string& InterfaceStrings::operator[](std::string_view key) const {
    const auto found = texts_.find(key);
    return found == texts_.end() ? kNoText : found->second;
}

std::string FormatTemplate(std::string_view templateText, std::string_view argument) {
    const auto at = templateText.find("%s");
    if (at == std::string_view::npos)
        return std::string(templateText);
    return std::string(templateText.substr(0, at))
        .append(argument)
        .append(templateText.substr(at + 2));
}

std::string FormatTemplate(std::string_view templateText, std::string_view first,
                           std::string_view second) {
    const auto at = templateText.find("%s");
    if (at == std::string_view::npos)
        return std::string(templateText);
    // The second goes only into the rest, never into the first argument.
    return std::string(templateText.substr(0, at))
        .append(first)
        .append(FormatTemplate(templateText.substr(at + 2), second));
}

std::string LastSaveStatus(std::string_view label, std::string_view time) {
    return std::string(label).append(" ").append(time);
}

} // namespace stanzel
