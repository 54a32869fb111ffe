#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

class IniFile;

struct PoemRecord {
    std::int32_t id = 0; // 0 while the poem has not been stored
    std::string title;
    std::string poet;
    std::string date; // free text, never parsed
    std::string text; // lines separated by CR LF
};

// One row of the collection as the index lists it. The texts point into the
// PoemList they came from, or into whatever the maker keeps alive.
struct PoemListEntry {
    std::string_view id; // the section name as it stands in the index
    std::string_view title;
};

// The collection as the index lists it, in file order. It keeps the texts
// that its rows point into (the index's text, or the pieces a reading copied
// out of it), so a list of 100,000 poems costs no 200,000 strings.
class PoemList {
public:
    PoemList() = default;
    PoemList(std::vector<std::shared_ptr<const std::string>> texts,
             std::vector<PoemListEntry> rows)
        : texts_(std::move(texts)), rows_(std::move(rows)) {}
    PoemList(const PoemList&) = default;
    PoemList(PoemList&& other) noexcept = default;
    PoemList& operator=(const PoemList&) = default;
    // The table of rows a list drops is kept for the next list (KeptVector).
    PoemList& operator=(PoemList&& other) noexcept;
    ~PoemList();

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const PoemListEntry& operator[](std::size_t row) const { return rows_[row]; }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }
    operator std::span<const PoemListEntry>() const { return rows_; }
    void erase(std::size_t row) { rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row)); }
    // The rows of `more` after these, with the texts they point into.
    void append(PoemList&& more);

private:
    std::vector<std::shared_ptr<const std::string>> texts_;
    std::vector<PoemListEntry> rows_;
};

// Title, poet and date of every poem of the index, as LoadPoem reads them, in
// file order. The views point into the index's text, which the list keeps.
struct PoemFields {
    std::string_view id;
    std::string_view title;
    std::string_view poet;
    std::string_view date;
};
struct PoemFieldsList {
    std::shared_ptr<const std::string> text;
    std::vector<PoemFields> rows;
};

// The collection on disk: the index "poems.dmp" holds title, poet and date
// under each poem's id, and "poems/<id>.poem" holds the poem's text.
class PoemStore {
public:
    explicit PoemStore(std::filesystem::path programDir);

    std::filesystem::path indexPath() const;
    std::filesystem::path poemsDir() const;
    // The text file of a poem; nothing for an id that is not a canonical
    // decimal number, so a hand-edited index can never name another file.
    std::optional<std::filesystem::path> poemPath(std::string_view id) const;

    // The id the next new poem receives.
    std::int32_t autoid() const { return autoid_; }
    void setAutoid(std::int32_t next) { autoid_ = next; }

    // Every poem of the index in file order; a title that is missing reads "def".
    PoemList ListPoems() const;
    // The same with each poem's poet and date, from one read of the index.
    PoemFieldsList ListPoemFields() const;
    // The poem stored under `id`. Missing entries read empty ("def" for the
    // title) and a missing text file reads as empty text; line breaks come
    // back as CR LF whatever the file holds.
    PoemRecord LoadPoem(std::string_view id) const;
    // The text of the poem stored under `id` as LoadPoem gives it, without
    // reading the index.
    std::string LoadText(std::string_view id) const;
    // Stores the poem and returns its id: a new one from the counter when
    // `currentPoemId` is 0, otherwise `currentPoemId`. Saving and deleting
    // happen whole or not at all: a failure (StorageError) leaves the index
    // and every text file as they were, and a new poem leaves no text file.
    // `settings`, when given, is the settings file with its writes held
    // (IniFile::HoldWrites): the store adds the counter ("Save" "autoid") and
    // the file is replaced together with the poem's.
    // `writtenIndex`, when given, receives the index's text as this save
    // wrote it, so the list refresh that follows a save reads nothing again.
    std::int32_t SavePoem(std::int32_t currentPoemId, std::string_view title, std::string_view poet,
                          std::string_view date, std::string_view text,
                          IniFile* settings = nullptr,
                          std::shared_ptr<const std::string>* writtenIndex = nullptr);
    void DeletePoem(std::string_view id);
    void DeletePoem(std::int32_t id);

    // Removes what writes killed part-way left in the collection folder and
    // in "poems": the program's own temporary files of processes now gone.
    void RemoveStaleTemporaryFiles() const;

private:
    std::filesystem::path programDir_;
    std::int32_t autoid_ = 1;
};

// "1", "42": digits only, no sign, no leading zero, within a signed 32-bit
// integer. Only such ids name files.
std::optional<std::int32_t> CanonicalPoemId(std::string_view id);

} // namespace stanzel
