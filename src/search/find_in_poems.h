#pragma once

#include "storage/poem_store.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// The words of a Find in Poems query, folded (see text_folding.h). A poem is
// found when every word occurs in it, each within one line of its title, poet,
// date or text; a word is a piece of text between blanks, so "ró" finds
// "Radnóti". A query of blanks alone has no words and finds nothing.
class FindQuery {
public:
    explicit FindQuery(std::string_view typed);

    bool empty() const { return words_.empty(); }
    // Longest first: the rarest word rules a poem out soonest.
    const std::vector<std::string>& words() const { return words_; }

private:
    std::vector<std::string> words_;
};

// A stretch of bytes of an original (unfolded) text.
struct ByteRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// Where the query's words stand in `text`, as it was before folding: every
// occurrence of every word, in order, overlapping ones joined.
std::vector<ByteRange> MatchRanges(std::string_view text, const FindQuery& query);
// The first of them; nothing when no word occurs.
std::optional<ByteRange> FirstMatch(std::string_view text, const FindQuery& query);

// Which line of a found poem to show, with its words marked.
struct PoemMatch {
    enum class Field { Title, Poet, Date, Text };
    Field field = Field::Title;
    std::size_t textLine = 0; // the line of the poem's text, for Field::Text
    std::string line;         // as the poem holds it
    std::vector<ByteRange> ranges;
};

// The text of the whole collection held in memory, folded, so that a query
// reads no file. It follows the poem list row for row; a poem's text is read
// once, on the first query of a run, and kept in step afterwards by the
// commands that change it (Save, Delete, and the save of an imported poem),
// never by a full re-read. Reading is done in steps, so a window can stay
// responsive while 100,000 files are read.
class CollectionText {
public:
    // Makes the rows those of the list: the same poems in the same order.
    // Poems already known keep their text; new ones wait to be read.
    void Follow(std::span<const PoemListEntry> rows);
    // Reads up to `count` waiting poems from the store: the fields from its
    // table, the text from each file. True when none waits any more. A text
    // file that cannot be read counts as empty text.
    bool ReadWaiting(PoemStore& store, std::size_t count);
    std::size_t size() const { return poems_.size(); }
    std::size_t waiting() const { return waiting_; }

    // A poem as Save has just stored it. A poem that is not yet a row is
    // added at the end, as the index adds it, until the next Follow.
    void PoemSaved(const PoemRecord& poem);

    // The rows of the poems that hold every word of the query, in list order;
    // nothing for an empty query. Poems still waiting to be read are left out.
    std::vector<std::size_t> Find(const FindQuery& query) const;

    const std::string& id(std::size_t row) const;
    // The title as the index holds it.
    std::string_view title(std::size_t row) const;
    // The line of a found poem to show: the first that holds the most of the
    // query's words, a line of the text before the poet or date, and those
    // before the title. A line of the text is taken from the poem's file; should
    // that file no longer hold it (edited behind the program's back), the line
    // is shown folded.
    PoemMatch DescribeMatch(std::size_t row, const FindQuery& query, const PoemStore& store) const;

    // Bytes held for the collection, for the benchmark's account.
    std::size_t heldBytes() const;

private:
    // One allocation per poem: the folded title, poet, date and text, one
    // line each with '\n' between, then a NUL, then title, poet and date as
    // stored, each ending in '\n'. A search of the C string sees the folded
    // part alone.
    struct Poem {
        std::string id;
        std::string held;
        std::uint32_t foldedSize = 0;
        bool waiting = true;

        std::string_view folded() const { return {held.data(), foldedSize}; }
        std::string_view fields() const {
            return std::string_view(held).substr(std::min<std::size_t>(foldedSize + 1, held.size()));
        }
    };
    static void Fill(Poem& poem, std::string_view title, std::string_view poet,
                     std::string_view date, std::string_view text);

    std::vector<Poem> poems_;
    std::size_t waiting_ = 0;
    std::size_t readFrom_ = 0; // no poem before it waits
};

} // namespace stanzel
