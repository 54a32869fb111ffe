#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace stanzel {

// The text of a profile file and the table of its sections: where each
// section stands in the bytes, its name, and whether an earlier section has
// the same name. This is the one reading of the format, for the poem index,
// the settings and the language files alike.
//
// Reading is lenient, because language files are written by hand: names match
// without regard to ASCII letter case; blanks and tabs around names and values
// are ignored; CR LF, LF and CR all end a line; a UTF-8 byte-order mark is
// skipped; one pair of matching quotes around a value is removed; a line whose
// first character is ";" is a comment. Where a section or key stands twice,
// the first one counts. Lines before the first section belong to none.
//
// Entries are not tabled: a section's few lines are read when one is asked
// for, so the table of a million poems costs a few dozen bytes a poem.
class ProfileText {
public:
    struct Section {
        std::size_t begin; // start of the section line
        std::uint32_t nameOffset; // from `begin` to the name
        std::uint32_t nameSize : 31;
        std::uint32_t firstOfName : 1;
    };
    using Entry = std::pair<std::string_view, std::string_view>;
    // One stretch of the text [begin, end) replaced by `text`. An edit's
    // splices are in order and never overlap; every other byte stays.
    struct Splice {
        std::size_t begin;
        std::size_t end;
        std::string text;
    };
    using Edit = std::vector<Splice>;

    ProfileText();
    explicit ProfileText(std::string bytes); // read and parsed whole
    ProfileText(const ProfileText&) = default;
    ProfileText& operator=(const ProfileText&) = delete;

    // A text that comes in pieces: `read` appends each to the text itself,
    // and its whole lines are parsed; false when it had nothing more to give.
    template <typename Read> bool AppendFrom(Read&& read) {
        const bool more = read(bytes_);
        parseLines(bytes_.size(), false);
        return more;
    }
    // The end of the text has come: its last line counts without a break.
    void Finish();
    bool finished() const { return finished_; }

    const std::string& bytes() const { return bytes_; }
    // Every section line, duplicates included, first to last.
    std::size_t sectionCount() const { return sections_.size(); }
    const Section& section(std::size_t i) const { return sections_[i]; }
    std::string_view name(std::size_t i) const;
    // Where the section's lines end: the next section line, or the text's end.
    std::size_t end(std::size_t i) const;
    // The first section of that name.
    std::optional<std::size_t> find(std::string_view name) const;
    // The value of `key` in section i as stored, without its quotes.
    std::optional<std::string_view> value(std::size_t i, std::string_view key) const;
    std::string_view valueOr(std::size_t i, std::string_view key, std::string_view fallback) const {
        return value(i, key).value_or(fallback);
    }

    // The edit that writes `entries` into the first section of that name:
    // an entry that exists is rewritten where it stands, a new key follows
    // the section's last entry, a new section goes at the end of the text.
    // Throws std::invalid_argument for a name or key the format cannot hold.
    Edit WriteEdit(std::string_view section, std::span<const Entry> entries) const;
    // The edit that removes every section of that name with all its lines.
    Edit RemoveEdit(std::string_view section) const;
    // The text as the edit makes it, in the pieces it is written from: the
    // kept stretches of this text and the splices' texts, in order.
    std::vector<std::string_view> EditedPieces(const Edit& edit) const;
    std::string Edited(const Edit& edit) const;
    // Makes the edit in this text and its table. The text must be finished.
    void Apply(const Edit& edit);

private:
    void parseLines(std::size_t to, bool toTheEnd);
    void addSection(Section section);
    void indexNames();
    void nameSection(std::size_t i);
    // Where the section's entries begin, after its section line.
    std::size_t body(std::size_t i) const;
    static std::uint32_t NameHash(std::string_view name);
    // The slot of `name`: the one holding its first section, or the free
    // one where it would go.
    std::size_t slotOf(std::string_view name, std::uint32_t hash) const;
    std::size_t freeSlot(std::uint32_t hash) const;

    std::string bytes_;
    std::vector<Section> sections_;
    // The first section of each name, found by a hash of the name in any
    // letter case: open addressing in one array, at most half full, so a
    // million names take a few MiB and no allocation each. The hash kept
    // with each spares most comparisons of names and every rehash.
    struct NameSlot {
        std::uint32_t section = std::uint32_t(-1);
        std::uint32_t hash = 0;
    };
    std::vector<NameSlot> names_;
    std::size_t named_ = 0;
    bool naming_ = true;
    std::size_t parsed_ = 0; // always the start of a line
    std::size_t unbroken_ = 0; // the line at parsed_ holds no break before this
    bool finished_ = false;
};

// The line `key=value` as it is written, with the value quoted where reading it
// back would otherwise change it, and line breaks and NULs made blanks.
std::string FormatIniEntry(std::string_view key, std::string_view value);

} // namespace stanzel
