#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// English words with their syllables, from a pronouncing dictionary. The
// file, made when the program is built, is one word a line in byte order,
// a blank and the count ("abandon 3"): it is read whole and searched in
// place, so loading it costs one read and one pass.
class SyllableTable {
public:
    inline static const std::string_view kFileName = "english-syllables.txt";

    SyllableTable() = default; // knows no word

    // Nullopt for a file that is missing, unreadable, or not such a table
    // (lines out of order, a line without its count): the words then go to
    // the spelling rule.
    static std::optional<SyllableTable> Load(const std::filesystem::path& file);
    static std::optional<SyllableTable> FromText(std::string text);

    // The count for a word in small letters with straight apostrophes, as
    // the dictionary spells it.
    std::optional<int> find(std::string_view word) const;
    std::size_t size() const { return lineStarts_.size(); }

private:
    std::string_view wordAt(std::size_t line) const;

    std::string text_;
    std::vector<std::uint32_t> lineStarts_;
};

// Where the program's data says the table is: beside its executable in a
// build tree or an install (../share/stanzel), then the system's.
std::vector<std::filesystem::path> SyllableTablePlaces(const std::filesystem::path& programFolder);

} // namespace stanzel
