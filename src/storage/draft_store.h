#pragma once

#include "storage/poem_store.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace stanzel {

// An edit that the editor dropped, kept so that the user can bring it back.
struct Draft {
    std::uint64_t number = 0; // names the file; a later draft has a higher number
    std::string time;         // local time it was kept, "2026-12-08 10:15:42"
    PoemRecord poem;          // id 0 for a poem that was never stored
    bool deleted = false;     // the poem as it was stored when Delete removed it
    bool elsewhere = false;   // a version another computer or program saved
};

// The drafts of a collection: one profile file per draft in its "drafts"
// folder, "drafts/<number>.draft", each written atomically in one go:
//
//   [draft]
//   title=...   poet=...   date=...   (each on a line of its own)
//   id=<the poem's id, 0 for a new poem>
//   time=<local time>
//   length=<bytes of the text>
//   text=<the text, escaped>
//   deleted=1   (only in the draft of a deleted poem)
//   elsewhere=1 (only in a version saved elsewhere)
//
// Every field is escaped so that it stays one line and reads back byte for
// byte: "\\" stands for a backslash, "\r" for CR, "\n" for LF, "\0" for NUL;
// every other byte, UTF-8 or not, stands as it is, and the profile format's
// quotes protect blanks and quotes at either end. The length tells a complete
// file from a cut-off copy.
//
// Nothing here ever raises: keeping a draft must never stop the command that
// drops the edit, and a damaged, hand-edited or foreign file in the folder is
// left out of the list rather than shown.
class DraftStore {
public:
    static constexpr std::size_t kKept = 100;

    // The drafts of the collection folder held open: every draft is reached
    // through it, and a "drafts" that is a link, or a link among the drafts,
    // is never followed.
    explicit DraftStore(std::shared_ptr<const Folder> collection);
    explicit DraftStore(const std::filesystem::path& dataFolder);

    // Where the drafts are now, for messages and tests.
    std::filesystem::path folder() const;

    // Writes the poem as the newest draft and removes all but the kKept newest.
    // The draft's number, or why it could not be written.
    struct Kept {
        std::uint64_t number = 0;
        std::error_code error;
    };
    Kept Keep(const PoemRecord& poem, std::string_view time);
    // The same, and remembers it as the draft kept when the window closed, for
    // TakeKeptAtClose at the next start.
    Kept KeepAtClose(const PoemRecord& poem, std::string_view time);
    // The same for a poem about to be deleted, marked so, so that Delete
    // can be undone.
    Kept KeepDeleted(const PoemRecord& poem, std::string_view time);
    // The same for a version of a poem saved elsewhere that the one saved
    // here replaces, or that a sync tool kept as a conflict copy.
    Kept KeepElsewhere(const PoemRecord& poem, std::string_view time);
    // The draft kept when the window last closed, once: the note is gone after.
    std::optional<Draft> TakeKeptAtClose();

    // Every readable draft, newest first.
    std::vector<Draft> List() const;
    std::optional<Draft> Read(std::uint64_t number) const;
    // False when the file could not be removed; a draft that is gone counts as
    // removed.
    bool Remove(std::uint64_t number);

    // The largest number a draft is ever given. A name with a larger number
    // was not made by the program and is no draft: counting it would leave
    // no number for the next one.
    static constexpr std::uint64_t kLargestNumber = 999'999'999'999'999'999;

private:
    // Every name of a draft in the folder, newest first, whatever stands there.
    struct Entry {
        std::uint64_t number;
        bool regularFile;
    };
    std::vector<Entry> entries() const;
    Kept keep(const PoemRecord& poem, std::string_view time, bool deleted, bool elsewhere);
    FileRef fileOf(std::uint64_t number) const;
    FileRef drafts(std::string_view name) const;

    std::shared_ptr<const Folder> collection_;
    // Temporary files that a killed run left are removed once per run.
    bool temporariesCleared_ = false;
};

// A field written so that it stays one line, and back.
std::string EscapeDraftField(std::string_view text);
std::string UnescapeDraftField(std::string_view text);

// The first line of a text, for a list of drafts.
std::string_view FirstLineOf(std::string_view text);

} // namespace stanzel
