#pragma once

#include "storage/code_page.h"
#include "storage/folder.h"
#include "storage/profile_text.h"
#include "storage/storage_error.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace stanzel {

class FileReader;
class FileReplacement;
class IniFile;

struct PoemRecord {
    std::int32_t id = 0; // 0 while the poem has not been stored
    std::string title;
    std::string poet;
    std::string date; // free text, never parsed
    std::string text; // lines separated by CR LF
};

// One row of the collection as the index lists it. The texts point into the
// store's index: they hold until the store's next change.
struct PoemListEntry {
    std::string_view id; // the section name as it stands in the index
    std::string_view title;
};

// Told of every change to the rows of the collection, before and after it,
// so that a list on the screen follows them.
class PoemListObserver {
public:
    enum class Change { Reset, Insert, Remove, Update };
    virtual ~PoemListObserver() = default;
    virtual void aboutToChange(Change change, std::size_t first, std::size_t last) = 0;
    virtual void changed(Change change, std::size_t first, std::size_t last) = 0;
};

// The collection on disk, and the one model of it for the run: the index
// "poems.dmp" holds title, poet and date under each poem's id, and
// "poems/<id>.poem" holds the poem's text.
//
// The index is read once and kept with the table of its sections. Before
// every command one look at the file's identity tells whether another
// program replaced or changed it; only then is it read again. A save writes
// the kept text with the poem's section made anew, and makes the same change
// in the kept text. Every file is reached through the collection folder held
// open, so a folder moved while the program runs stays the collection.
//
// What the files hold is given as UTF-8. A collection carried over from an
// older system holds text in its code page: every field and line that is not
// UTF-8 is read in the collection's code page (CollectionCodePage), never
// replaced, and the bytes of every poem nobody saves stay as they are. A
// saved poem is written as UTF-8.
class PoemStore {
public:
    explicit PoemStore(std::shared_ptr<const Folder> collection);
    explicit PoemStore(const std::filesystem::path& programDir);
    ~PoemStore();
    PoemStore(const PoemStore&) = delete;
    PoemStore& operator=(const PoemStore&) = delete;

    const std::shared_ptr<const Folder>& folder() const { return folder_; }
    FileRef indexFile() const { return {folder_, "poems.dmp"}; }
    FileRef poemsFolder() const { return {folder_, "poems"}; }
    // The text file of a poem; nothing for an id that is not a canonical
    // decimal number, so a hand-edited index can never name another file.
    std::optional<FileRef> poemFile(std::string_view id) const;

    // The id the next new poem receives.
    std::int32_t autoid() const { return autoid_; }
    void setAutoid(std::int32_t next) { autoid_ = next; }

    void setObserver(PoemListObserver* observer) { observer_ = observer; }

    // Reads at most `bytes` more of the index; false once it is read whole.
    // A large index is read this way between the window's other work; every
    // command that needs the whole index finishes the reading first.
    bool ReadSome(std::size_t bytes);
    // Reads the index again when the file is no longer the version read.
    // True when it did.
    bool Refresh();
    // Whether the index is not yet read whole.
    bool reading() const { return !started_ || reader_ != nullptr; }

    // The rows read so far, each section name once, in file order.
    std::size_t size() const { return rows_.size(); }
    std::string_view id(std::size_t row) const;
    // "def" for a poem without one. Read as UTF-8; a title that is not
    // holds until the store's next change, as the index does.
    std::string_view title(std::size_t row) const;
    std::optional<std::size_t> rowOf(std::string_view id) const;
    // Title, poet and date of a row as LoadPoem gives them.
    PoemRecord fields(std::size_t row) const;

    // Every poem of the index in file order; a title that is missing reads "def".
    std::vector<PoemListEntry> ListPoems();
    // The whole index as it stands, for a command that walks it.
    std::shared_ptr<const ProfileText> Index();
    // The index as last read or written, without a look at the file: what
    // a change that Refresh then finds is told against.
    std::shared_ptr<const ProfileText> indexAsRead() const { return index_; }
    // The poem stored under `id`. Missing entries read empty ("def" for the
    // title) and a missing text file reads as empty text; line breaks come
    // back as CR LF whatever the file holds.
    PoemRecord LoadPoem(std::string_view id);
    // The text of the poem stored under `id` as LoadPoem gives it, without
    // looking at the index.
    std::string LoadText(std::string_view id) const;
    // Stores the poem and returns its id (a text TooLargeToShow refuses is
    // refused with StorageError, nothing written): a new one from the counter when
    // `currentPoemId` is 0, otherwise `currentPoemId`. Saving and deleting
    // happen whole or not at all: a failure (StorageError) leaves the index
    // and every text file as they were, and a new poem leaves no text file.
    // `settings`, when given, is the settings file with its writes held
    // (IniFile::HoldWrites): the store adds the counter ("Save" "autoid") and
    // the file is replaced together with the poem's. When another program
    // replaces the index while the save is under way, the save starts over
    // on the new index, so what the other program wrote stays.
    // `textAsSeen`, when given, is the identity the poem's text file had when
    // the caller last read it: should the file differ at the moment of the
    // rename, nothing is written and PoemChangedElsewhere says so, so that a
    // text saved elsewhere is never replaced unseen.
    std::int32_t SavePoem(std::int32_t currentPoemId, std::string_view title, std::string_view poet,
                          std::string_view date, std::string_view text, IniFile* settings = nullptr,
                          const FileIdentity* textAsSeen = nullptr);
    void DeletePoem(std::string_view id);
    // Adds poems at the end of the index in one write, whole or not at all,
    // and returns their ids in order. A poem keeps its id when the index
    // lacks it, and its text file stays as it stands; any other gets a new id
    // from the counter, and its text is written. `settings` as for SavePoem.
    std::vector<std::int32_t> AddPoems(std::span<const PoemRecord> poems,
                                       IniFile* settings = nullptr);

    // The collection's code page, for every file of it that may hold text
    // that is not UTF-8: the index, the poems' texts, the language files.
    const CollectionCodePage& codePage() const { return codePage_; }
    // Text as one of the collection's files holds it, as UTF-8.
    std::string AsUtf8(std::string_view stored) const { return codePage_.ToUtf8(stored); }

    // Removes what writes killed part-way left in the collection folder and
    // in "poems": the program's own temporary files of processes now gone.
    void RemoveStaleTemporaryFiles() const;

private:
    void startReading();
    void finishReading();
    // The rows of the sections from there on, largestId_ raised to theirs.
    std::vector<std::uint32_t> rowsFrom(std::size_t fromSection);
    void addRows(std::size_t fromSection);
    void notify(bool before, PoemListObserver::Change change, std::size_t first, std::size_t last);
    void apply(const ProfileText::Edit& edit, std::string_view id);
    std::string unableToWrite() const;
    std::int32_t newId() const;
    // The edited index, held to the version read, and, when given, the held
    // settings with the counter (and a code page just detected), which the
    // replacement then writes together.
    void prepareIndex(FileReplacement& replacement, const ProfileText::Edit& edit,
                      IniFile* settings) const;
    // The collection's lines that are not UTF-8, for telling its code page:
    // the index's entries, then the texts of the first poems.
    void sampleLinesNotUtf8(std::string& sample) const;
    // The text file as it stands, line breaks made CR LF.
    std::string rawText(std::string_view id) const;

    std::shared_ptr<const Folder> folder_;
    std::int32_t autoid_ = 1;
    PoemListObserver* observer_ = nullptr;

    std::shared_ptr<ProfileText> index_;
    FileIdentity identity_;              // of the version `index_` holds
    std::error_code readError_;          // why an existing index could not be read
    std::unique_ptr<FileReader> reader_; // while the index is read in pieces
    bool started_ = false;
    bool notifying_ = false;
    std::vector<std::uint32_t> rows_; // the section of each row
    std::int32_t largestId_ = 0;      // of the poems in the index
    CollectionCodePage codePage_;
    // The titles read in the code page, by section, until the index changes.
    mutable std::unordered_map<std::uint32_t, std::string> decodedTitles_;
};

// A save refused because the poem's text changed since the caller read it.
class PoemChangedElsewhere : public StorageError {
public:
    using StorageError::StorageError;
};

// The text of a poem's file as LoadText gives it, read from any file: a
// file too large for a poem is refused (StorageError).
std::string ReadPoemText(const FileRef& file);
// The bytes of a poem's text file as they stand; nothing when there is no
// such file. A file that cannot be read, or holds more than a poem may
// (TooLargeToShow), raises StorageError ("Cannot open file ..."); it is never
// read past that limit.
std::optional<std::string> ReadPoemFile(const FileRef& file);

// How many poems two versions of an index tell apart: those listed in one
// only, and those whose section holds other bytes.
std::size_t ChangedPoems(const ProfileText& before, const ProfileText& after);

// "1", "42": digits only, no sign, no leading zero, within a signed 32-bit
// integer. Only such ids name files.
std::optional<std::int32_t> CanonicalPoemId(std::string_view id);

} // namespace stanzel
