#pragma once

#include "storage/draft_store.h"
#include "storage/poem_store.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

class IniFile;

// When two computers changed one file while apart, a sync tool keeps one
// version under the file's name and the other beside it as a conflict copy:
//   Syncthing   "poems.sync-conflict-20261208-101500-ABCDEFG.dmp"
//   Nextcloud   "poems (conflicted copy 2026-12-08 101500).dmp"
//   Dropbox     "poems (Laptop's conflicted copy 2026-12-08).dmp"
// and the same for a poem's text, "7.sync-conflict-….poem".
//
// The stem a conflict copy's name keeps ("poems", "7") and the tool's mark
// ("sync-conflict-20261208-101500-ABCDEFG", "Laptop's conflicted copy
// 2026-12-08"); nothing for any other name.
struct ConflictName {
    std::string_view stem;
    std::string_view mark;
};
std::optional<ConflictName> ParseConflictName(std::string_view name, std::string_view extension);

// What merging the conflict copies of a collection brought back.
struct ConflictMerge {
    std::size_t poems = 0;  // put back into the index
    std::size_t drafts = 0; // poem texts kept as drafts
    // "<file name>: <why>" for each copy that could not be taken in; it
    // stays, and is looked at again next time.
    std::vector<std::string> refused;
};

// Whether a name in the collection's folder is a conflict copy of the index,
// and one in the poems' folder a conflict copy of a poem's text.
bool IsIndexConflictCopy(std::string_view name);
bool IsTextConflictCopy(std::string_view name);

// The names of the conflict copies in the two folders, as a look through
// them found them.
struct ConflictCopyNames {
    std::vector<std::string> index; // in the collection's folder
    std::vector<std::string> texts; // in "poems"
};

// Takes in every conflict copy of the index and of the poems' texts that is
// not yet taken in. A poem that an index copy lists and the index lacks
// (its id absent, or holding another poem) is added back: under its own id
// when that is free, else under a new one with the text of its id's text
// copy, or of its id's text when none. A text copy is kept as a draft of its
// poem. Poems the index already holds are left alone, and the copies taken
// in are remembered in the settings file, so a second look changes nothing
// and a poem the user deletes afterwards does not come back. The copies
// themselves are never changed or removed. StorageError when the index or
// the settings file cannot be written; nothing is then remembered.
ConflictMerge MergeConflictCopies(PoemStore& store, DraftStore& drafts, IniFile& settings,
                                  std::string_view time);
// The same for the copies named, all there are: a copy taken in before and
// not named is forgotten.
ConflictMerge MergeConflictCopies(PoemStore& store, DraftStore& drafts, IniFile& settings,
                                  std::string_view time, const ConflictCopyNames& names);

} // namespace stanzel
