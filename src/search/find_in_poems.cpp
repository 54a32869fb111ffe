#include "search/find_in_poems.h"

#include "search/text_folding.h"
#include "storage/number_text.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace stanzel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\0';
}

// Each piece between two '\n' of a folded poem, with its number.
template <class Visit> void ForEachFoldedLine(std::string_view folded, Visit visit) {
    std::size_t number = 0;
    std::size_t start = 0;
    while (start <= folded.size()) {
        const std::size_t end = std::min(folded.find('\n', start), folded.size());
        visit(number++, folded.substr(start, end - start));
        start = end + 1;
    }
}

// The lines are those SplitLines gives, so that a line's number names the
// same line in the poem's file.
void AppendFoldedLines(std::string& out, std::string_view text) {
    bool first = true;
    VisitLines(text, [&](std::size_t begin, std::size_t end, std::size_t) {
        if (!first)
            out += '\n';
        first = false;
        AppendFolded(out, text.substr(begin, end - begin));
    });
}

std::string OneLine(std::string_view value) {
    std::string line(value);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    return line;
}

constexpr std::size_t kFieldLines = 3; // title, poet, date

} // namespace

FindQuery::FindQuery(std::string_view typed) {
    const std::string folded = FoldText(typed);
    std::size_t i = 0;
    while (i < folded.size()) {
        while (i < folded.size() && IsBlank(folded[i]))
            ++i;
        const std::size_t start = i;
        while (i < folded.size() && !IsBlank(folded[i]))
            ++i;
        if (i > start) {
            std::string word = folded.substr(start, i - start);
            if (std::find(words_.begin(), words_.end(), word) == words_.end())
                words_.push_back(std::move(word));
        }
    }
    std::stable_sort(words_.begin(), words_.end(), [](const std::string& a, const std::string& b) {
        return a.size() > b.size();
    });
}

std::vector<ByteRange> MatchRanges(std::string_view text, const FindQuery& query) {
    const TracedFold traced = FoldTraced(text);
    const std::string_view folded = traced.folded;
    std::vector<ByteRange> found;
    for (const std::string& word : query.words()) {
        for (std::size_t at = folded.find(word); at != std::string_view::npos;
             at = folded.find(word, at + word.size())) {
            found.push_back({traced.sourceBegin[at], traced.sourceEnd[at + word.size() - 1]});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    std::vector<ByteRange> joined;
    for (const ByteRange& range : found) {
        if (!joined.empty() && range.begin <= joined.back().end)
            joined.back().end = std::max(joined.back().end, range.end);
        else
            joined.push_back(range);
    }
    return joined;
}

std::optional<ByteRange> FirstMatch(std::string_view text, const FindQuery& query) {
    const auto ranges = MatchRanges(text, query);
    if (ranges.empty())
        return std::nullopt;
    return ranges.front();
}

void CollectionText::Follow(std::span<const PoemListEntry> rows) {
    std::unordered_map<std::string_view, std::size_t> known;
    for (std::size_t i = 0; i < poems_.size(); ++i)
        known.emplace(poems_[i].id, i);
    std::vector<Poem> next;
    next.reserve(rows.size());
    waiting_ = 0;
    for (const PoemListEntry& row : rows) {
        if (const auto it = known.find(row.id); it != known.end()) {
            const std::size_t at = it->second;
            known.erase(it); // before the move empties the name
            next.push_back(std::move(poems_[at]));
        } else {
            next.push_back(Poem{std::string(row.id), {}, 0, true});
        }
        if (next.back().waiting)
            ++waiting_;
    }
    poems_ = std::move(next);
    readFrom_ = 0;
}

void CollectionText::Fill(Poem& poem, std::string_view title, std::string_view poet,
                          std::string_view date, std::string_view text) {
    std::string& held = poem.held;
    held.clear();
    const std::string lines[] = {OneLine(title), OneLine(poet), OneLine(date)};
    for (const std::string& line : lines) {
        AppendFolded(held, line);
        held += '\n';
    }
    AppendFoldedLines(held, text);
    // The search reads up to the first NUL (see Find); a NUL in the text is
    // no letter anyone types.
    std::replace(held.begin(), held.end(), '\0', ' ');
    poem.foldedSize = static_cast<std::uint32_t>(held.size());
    held += '\0';
    for (const std::string& line : lines) {
        held += line;
        held += '\n';
    }
}

bool CollectionText::ReadWaiting(PoemStore& store, std::size_t count) {
    for (; readFrom_ < poems_.size() && waiting_ > 0 && count > 0; ++readFrom_) {
        Poem& poem = poems_[readFrom_];
        if (!poem.waiting)
            continue;
        std::string text;
        try {
            text = store.LoadText(poem.id);
        } catch (const StorageError&) {
            // One unreadable poem must not keep the others from being found.
        }
        if (const auto row = store.rowOf(poem.id)) {
            const PoemRecord fields = store.fields(*row);
            Fill(poem, fields.title, fields.poet, fields.date, text);
        } else {
            Fill(poem, "def", "", "", text);
        }
        poem.waiting = false;
        --waiting_;
        --count;
    }
    return waiting_ == 0;
}

void CollectionText::PoemSaved(const PoemRecord& poem) {
    const std::string id = FormatInt32(poem.id);
    auto it = std::find_if(poems_.begin(), poems_.end(),
                           [&](const Poem& known) { return known.id == id; });
    if (it == poems_.end()) {
        poems_.push_back(Poem{id, {}, 0, false});
        it = std::prev(poems_.end());
    } else if (it->waiting) {
        it->waiting = false;
        --waiting_;
    }
    Fill(*it, poem.title, poem.poet, poem.date, NormaliseLineBreaks(poem.text));
}

std::vector<std::size_t> CollectionText::Find(const FindQuery& query) const {
    std::vector<std::size_t> rows;
    if (query.empty())
        return rows;
    // The C library's search is the fastest at hand by far for short words
    // over short texts; it needs the texts without NULs, which Fill makes
    // sure of.
    for (std::size_t row = 0; row < poems_.size(); ++row) {
        const Poem& poem = poems_[row];
        if (poem.waiting)
            continue;
        const char* folded = poem.held.c_str();
        if (std::all_of(query.words().begin(), query.words().end(), [&](const std::string& word) {
                return std::strstr(folded, word.c_str()) != nullptr;
            }))
            rows.push_back(row);
    }
    return rows;
}

const std::string& CollectionText::id(std::size_t row) const {
    return poems_.at(row).id;
}

std::string_view CollectionText::title(std::size_t row) const {
    const std::string_view fields = poems_.at(row).fields();
    return fields.substr(0, fields.find('\n'));
}

PoemMatch CollectionText::DescribeMatch(std::size_t row, const FindQuery& query,
                                        const PoemStore& store) const {
    const Poem& poem = poems_.at(row);
    std::size_t bestLine = 0;
    std::size_t bestCount = 0;
    std::string_view bestFolded;
    ForEachFoldedLine(poem.folded(), [&](std::size_t number, std::string_view line) {
        const auto count = static_cast<std::size_t>(
            std::count_if(query.words().begin(), query.words().end(), [&](const std::string& w) {
                return line.find(w) != std::string_view::npos;
            }));
        // The title stands above the line in the results anyway, so of lines
        // with as many words the poem's own come first, then poet and date.
        const auto preference = [](std::size_t line) {
            return line >= kFieldLines ? 2 : line > 0 ? 1 : 0;
        };
        if (count > bestCount ||
            (count > 0 && count == bestCount && preference(number) > preference(bestLine))) {
            bestCount = count;
            bestLine = number;
            bestFolded = line;
        }
    });

    PoemMatch match;
    if (bestLine < kFieldLines) {
        match.field = static_cast<PoemMatch::Field>(bestLine);
        std::string_view fields = poem.fields();
        for (std::size_t skip = 0; skip < bestLine; ++skip)
            fields.remove_prefix(fields.find('\n') + 1);
        match.line = std::string(fields.substr(0, fields.find('\n')));
    } else {
        match.field = PoemMatch::Field::Text;
        match.textLine = bestLine - kFieldLines;
        try {
            const auto lines = SplitLines(store.LoadText(poem.id));
            if (match.textLine < lines.size() && FoldText(lines[match.textLine]) == bestFolded)
                match.line = lines[match.textLine];
            else
                match.line = std::string(bestFolded);
        } catch (const StorageError&) {
            match.line = std::string(bestFolded);
        }
    }
    match.ranges = MatchRanges(match.line, query);
    return match;
}

std::size_t CollectionText::heldBytes() const {
    std::size_t bytes = poems_.capacity() * sizeof(Poem);
    for (const Poem& poem : poems_) {
        // Short names live inside the string itself.
        if (poem.id.capacity() > 15)
            bytes += poem.id.capacity() + 1;
        bytes += poem.held.capacity() + 1;
    }
    return bytes;
}

} // namespace stanzel
