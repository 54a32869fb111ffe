#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

struct PoemRecord {
    std::int32_t id = 0; // 0 while the poem has not been stored
    std::string title;
    std::string poet;
    std::string date; // free text, never parsed
    std::string text; // lines separated by CR LF
};

// One row of the collection as the index lists it.
struct PoemListEntry {
    std::string id; // the section name as it stands in the index
    std::string title;
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
    std::vector<PoemListEntry> ListPoems() const;
    // The poem stored under `id`. Missing entries read empty ("def" for the
    // title) and a missing text file reads as empty text; line breaks come
    // back as CR LF whatever the file holds.
    PoemRecord LoadPoem(std::string_view id) const;
    // Stores the poem and returns its id: a new one from the counter when
    // `currentPoemId` is 0, otherwise `currentPoemId`.
    std::int32_t SavePoem(std::int32_t currentPoemId, std::string_view title, std::string_view poet,
                          std::string_view date, std::string_view text);
    void DeletePoem(std::string_view id);
    void DeletePoem(std::int32_t id);

private:
    std::filesystem::path programDir_;
    std::int32_t autoid_ = 1;
};

// "1", "42": digits only, no sign, no leading zero, within a signed 32-bit
// integer. Only such ids name files.
std::optional<std::int32_t> CanonicalPoemId(std::string_view id);

} // namespace stanzel
