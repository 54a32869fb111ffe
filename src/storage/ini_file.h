#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "storage/kept_vector.h"

namespace stanzel {

// A profile file: sections of key=value lines. The file is read once, on the
// first operation, and kept parsed until a write changes it. Every write
// replaces the file atomically before it returns and leaves every byte it does
// not concern as it was, so hand-written comments and layout survive.
//
// Reading is lenient, because language files are written by hand: names match
// without regard to ASCII letter case; blanks and tabs around names and values
// are ignored; CR LF, LF and CR all end a line; a UTF-8 byte-order mark is
// skipped; one pair of matching quotes around a value is removed. Where a
// section or key stands twice, the first one counts.
class IniFile {
public:
    explicit IniFile(std::filesystem::path path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    ~IniFile(); // keeps its tables of sections for the next file (KeptVector)

    const std::filesystem::path& path() const { return path_; }

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view defaultText) const;
    std::int32_t ReadNumber(std::string_view section, std::string_view key,
                            std::int32_t defaultNumber) const;
    // Fills `names` with every section, first to last, each name once.
    void ListSections(std::vector<std::string>& names) const;
    bool SectionExists(std::string_view section) const;
    // Where the section's first line begins in the text, or the text's end
    // when there is none: writing or removing that section changes nothing
    // before it.
    std::size_t SectionOffset(std::string_view section) const;
    std::size_t SectionCount() const;
    // The largest number that names a section (digits only, no leading
    // zero) and is not over `atMost`; 0 when there is none.
    std::uint64_t LargestNumberedSection(std::uint64_t atMost) const;
    // Visits every section name, as ListSections gives them, without copying.
    // The name is valid only during the call.
    void ForEachSection(const std::function<void(std::string_view)>& visit) const;
    // Every section, as ListSections gives them, with the value of `key` in
    // it as ReadText gives it, made into Row{name, value}. The views point
    // into Contents(). A poem index, whose sections are ascending numbers, is
    // read in one pass without a table of its sections.
    template <class Row>
    std::vector<Row> SectionValues(std::string_view key, std::string_view defaultText) const {
        const auto add = [](void* sink, std::string_view name, std::string_view value) {
            static_cast<std::vector<Row>*>(sink)->push_back(Row{name, value});
        };
        // Room for the rows of a typical poem index, so they are not moved.
        loadBytes();
        std::vector<Row> rows = KeptVector<Row>::Take(bytes_->size() / 64 + 16);
        if (scanAscendingSections(key, defaultText, &rows, add))
            return rows;
        rows.clear();
        ForEachSectionValue(key, defaultText, [&](std::string_view name, std::string_view value) {
            rows.push_back(Row{name, value});
        });
        return rows;
    }
    // The file's text as read, which the names and values that the visits
    // above hand out point into, for a caller that keeps them.
    std::shared_ptr<const std::string> Contents() const;
    // The same, with the value of `key` in each section as ReadText gives it:
    // the collection's titles in one pass, without looking each section up.
    void ForEachSectionValue(
        std::string_view key, std::string_view defaultText,
        const std::function<void(std::string_view name, std::string_view value)>& visit) const;

    // Writes raise StorageError("Unable to write to <path>") and leave the file
    // as it was when the file cannot be replaced.
    void WriteText(std::string_view section, std::string_view key, std::string_view value);
    void WriteNumber(std::string_view section, std::string_view key, std::int32_t value);
    // Several entries of one section in a single replacement of the file, so
    // that they reach the disk together or not at all.
    using Entry = std::pair<std::string_view, std::string_view>;
    void WriteTexts(std::string_view section, std::initializer_list<Entry> entries);
    // Removes every section of that name with all its lines.
    void RemoveSection(std::string_view section);
    // A write to a file that exists but cannot be read (a folder or FIFO in
    // its place, no permission) fails the same way rather than replace what
    // it could not read.

    // Writes made after HoldWrites change only the text this object holds,
    // until WriteHeld replaces the file once with all of them: several
    // writes reach the disk together or not at all. A caller that replaces
    // this file together with others takes Contents() instead, and
    // HeldOriginal() to put the file back should another file fail.
    void HoldWrites();
    void WriteHeld();
    std::shared_ptr<const std::string> HeldOriginal() const;
    // "Unable to write to <full path>", the error of a failed write.
    std::string UnableToWrite() const;

private:
    struct Section {
        std::string_view name;
        std::uint64_t number;  // what a decimal name stands for; 0 for others
        std::size_t begin;     // start of the section line
        std::size_t bodyBegin; // start of the line after it
        std::size_t end;       // start of the next section line, or the end of the file
        bool firstOfName;      // false for a later section of a name already seen
    };

    struct Found {
        std::size_t begin;      // start of the entry's line
        std::size_t contentEnd; // end of its text, before the line break
        std::string_view value; // as stored, quotes included
    };

    void loadBytes() const;
    void load() const;
    void loadForWriting() const;
    // The one-pass reading of SectionValues, into `sink`. False, having added
    // only part of the rows, when the section names are not ascending numbers.
    // (Reading the two halves of a large index on two cores at once no longer
    // paid once the text is read into a kept buffer: poem_store_bench.)
    using AddRow = void (*)(void* sink, std::string_view name, std::string_view value);
    bool scanAscendingSections(std::string_view key, std::string_view defaultText, void* sink,
                               AddRow add) const;
    void parse() const;
    void indexNames() const;
    const Section* findSection(std::string_view name) const;
    std::optional<Found> findEntry(const Section& section, std::string_view key) const;
    void replace(std::shared_ptr<const std::string> bytes);

    std::filesystem::path path_;
    mutable bool loaded_ = false;
    mutable bool parsed_ = false;
    // Shared so that a listing can keep the text its names point into.
    mutable std::shared_ptr<const std::string> bytes_;
    mutable std::error_code readError_;       // why an existing file could not be read
    std::shared_ptr<const std::string> held_; // the text before held writes
    mutable std::vector<Section> sections_;
    // Open addressing over `sections_`: slot value i + 1 names section i.
    mutable std::vector<std::uint32_t> nameSlots_;
    mutable bool namesAscending_ = false;
};

// A profile file read piece by piece from one open file, never whole: for a
// file too large to hold beside everything else, such as the index of a large
// collection walked by an export. The file is opened once, so every walk sees
// the same version even when the file is replaced meanwhile; one that cannot
// be opened, or is no regular file, reads as an empty one.
class IniSectionStream {
public:
    explicit IniSectionStream(const std::filesystem::path& path);
    // The same walks over a file's text already in memory (the index as a
    // save has just written it), which the stream keeps while it lives.
    explicit IniSectionStream(std::shared_ptr<const std::string> text);
    IniSectionStream(const IniSectionStream&) = delete;
    IniSectionStream& operator=(const IniSectionStream&) = delete;
    ~IniSectionStream();

    // Visits every section as IniFile::ListSections gives them, first to
    // last, with the values of `keys` as IniFile::ReadText gives them
    // (`defaultText` for a key the section lacks). The views are valid only
    // during the call; a visit that returns false ends the walk, and the
    // walk returns false then. Each walk reads the file from its start.
    using SectionVisit =
        std::function<bool(std::string_view name, std::span<const std::string_view> values)>;
    bool ForEachSection(std::span<const std::string_view> keys, std::string_view defaultText,
                        const SectionVisit& visit) const;

    // The first section of that name (names match whatever their case), as
    // IniFile::ReadText finds it, with the values of `keys` (`defaults`, one
    // for each key, for those it lacks); false when the file holds none. The
    // walk stops there.
    bool FindSection(std::string_view name, std::span<const std::string_view> keys,
                     std::span<const std::string_view> defaults,
                     const std::function<void(std::span<const std::string_view> values)>& found)
        const;

private:
    bool walk(std::span<const std::string_view> keys, std::span<const std::string_view> defaults,
              std::optional<std::string_view> only, const SectionVisit& visit) const;

    int fd_ = -1;
    std::shared_ptr<const std::string> text_; // instead of a file
    mutable std::string buffer_; // kept from walk to walk
};

// The line `key=value` as it is written, with the value quoted where reading it
// back would otherwise change it, and line breaks and NULs made blanks.
std::string FormatIniEntry(std::string_view key, std::string_view value);

} // namespace stanzel
