#pragma once

#include "search/engine_list.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// Whether the text begins with "http://" or "https://", in any letter case.
// Only such addresses are handed to the desktop: anything else could name a
// local file or program.
bool IsWebAddress(std::string_view address);

// The address prefix an engine line gives: everything after its first "|"
// (the whole line when it has none), with "http://" put in front unless it is
// a web address already, so "https://" engines stay secure.
std::string EngineAddress(std::string_view line);

// The prefix immediately followed by the query, both as they stand: nothing is
// trimmed, inserted or encoded. Nothing when the query is empty or the result
// is no web address.
//
// The address is UTF-8. The window must open it with
//     QDesktopServices::openUrl(QUrl(QString::fromUtf8(address), QUrl::TolerantMode))
// which keeps every character the user typed: blanks become %20, other
// letters their UTF-8 escapes and a "%" that starts no escape %25, while "&",
// "#" and "+" keep their meaning in an address. QUrl::fromUserInput would trim
// the query.
std::optional<std::string> OnlineSearchAddress(std::string_view searchUrl, std::string_view query);

// The engine menu with its choice, kept for the whole run by the main window,
// which mirrors `menu()` and `checkedPosition()` onto its pop-up menu after
// every call that changes them.
class OnlineSearch {
public:
    // Fills the menu from search.egs. When there is no such file, the menu,
    // the engine lines and the choice stay as they are and the result is false.
    // StorageError when the file cannot be read.
    bool BuildMenu(const std::filesystem::path& programDir);

    // After the engine editor was confirmed: the menu is built afresh, no
    // entry is checked and no engine is chosen until the user picks one. The
    // saved position is kept, to be written at close.
    void RebuildAfterEdit(const std::filesystem::path& programDir);

    // A click on the entry at `position`: the engine's own line gives the
    // address, that entry alone is checked and its position becomes the
    // selected engine. False, changing nothing, for a position that holds no
    // engine.
    bool ChooseEngine(std::size_t position);

    // The start-up step after the first BuildMenu, with the position read from
    // the settings file: the entry there is checked, and chosen when it is an
    // engine. A position outside the menu checks nothing. The position itself
    // is kept either way, so close writes back what start read.
    void RestoreChoice(std::int32_t savedPosition);

    // What a search for `query` opens with the current engine; see
    // OnlineSearchAddress.
    std::optional<std::string> AddressFor(std::string_view query) const;

    const std::vector<EngineMenuEntry>& menu() const { return menu_; }
    // The lines of search.egs as the last build that found the file read them.
    const std::vector<std::string>& engineLines() const { return engineLines_; }
    // The chosen engine's address prefix; empty while none is chosen.
    const std::string& searchUrl() const { return searchUrl_; }
    // The position written to the settings file at close.
    std::int32_t selectedEngine() const { return selectedEngine_; }
    // The one entry that shows a check mark, if any.
    std::optional<std::size_t> checkedPosition() const { return checked_; }

private:
    std::vector<std::string> engineLines_;
    std::vector<EngineMenuEntry> menu_;
    std::string searchUrl_;
    std::int32_t selectedEngine_ = 0;
    std::optional<std::size_t> checked_;
};

} // namespace stanzel
