#include "storage/profile_text.h"

#include "storage/ascii.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

namespace stanzel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::uint32_t kNoSection = std::numeric_limits<std::uint32_t>::max();
// What a section's table entry can hold; a longer name is no section.
constexpr std::size_t kLongestName = (std::size_t{1} << 31) - 1;

// Where the line from `from` ends, before its line break.
std::size_t LineEnd(std::string_view text, std::size_t from, std::size_t to) {
    while (from < to && text[from] != '\r' && text[from] != '\n')
        ++from;
    return from;
}

// Where the line break at `at` ends: after CR LF, LF or CR.
std::size_t BreakEnd(std::string_view text, std::size_t at, std::size_t to) {
    if (at >= to)
        return at;
    if (text[at] == '\r' && at + 1 < to && text[at + 1] == '\n')
        return at + 2;
    return at + 1;
}

// The name of a line such as "[name]", or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

struct EntryLine {
    std::string_view key;
    std::string_view value; // as stored, quotes included
};

std::optional<EntryLine> ParseEntry(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return EntryLine{TrimBlanks(trimmed.substr(0, equals)), TrimBlanks(trimmed.substr(equals + 1))};
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
        return value.substr(1, value.size() - 2);
    return value;
}

// A name that starts with one of `forbiddenFirst` would make its line read as
// something else: a key that opens with "[" as a section, with ";" as a comment.
void CheckName(std::string_view name, std::string_view forbidden, const char* what,
               std::string_view forbiddenFirst = {}) {
    const bool bad = name.empty() || name != TrimBlanks(name) ||
                     name.find_first_of(forbidden) != std::string_view::npos ||
                     forbiddenFirst.find(name.front()) != std::string_view::npos ||
                     name.find('\0') != std::string_view::npos;
    if (bad)
        throw std::invalid_argument(std::string("Not a usable profile ") + what + ": \"" +
                                    std::string(name) + "\"");
}

// One line of a section: [begin, contentEnd) its text, then its break up to `next`.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t next;
};

template <typename Visit>
void ForEachLine(std::string_view text, std::size_t from, std::size_t to, Visit&& visit) {
    while (from < to) {
        const std::size_t contentEnd = LineEnd(text, from, to);
        const Line line{from, contentEnd, BreakEnd(text, contentEnd, to)};
        if (!visit(line))
            return;
        from = line.next;
    }
}

} // namespace

std::string FormatIniEntry(std::string_view key, std::string_view value) {
    std::string stored(value);
    // A value is one line: a break inside it would start a new key or section.
    std::replace_if(
        stored.begin(), stored.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; },
        ' ');
    const bool changesOnReading =
        !stored.empty() &&
        (IsBlank(stored.front()) || IsBlank(stored.back()) ||
         (stored.size() >= 2 && IsQuote(stored.front()) && stored.front() == stored.back()));
    std::string line;
    line += key;
    line += '=';
    if (changesOnReading)
        line += '"';
    line += stored;
    if (changesOnReading)
        line += '"';
    return line;
}

ProfileText::ProfileText() = default;

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)) {
    Finish();
}

void ProfileText::Finish() {
    parseLines(bytes_.size(), true);
    finished_ = true;
}

void ProfileText::parseLines(std::size_t to, bool toTheEnd) {
    const std::string_view text = bytes_;
    if (parsed_ == 0) {
        // The mark can only be told from a text once three bytes are here.
        if (!toTheEnd && text.size() < kByteOrderMark.size())
            return;
        if (text.starts_with(kByteOrderMark))
            parsed_ = kByteOrderMark.size();
    }
    while (parsed_ < to) {
        // A long line that comes in many pieces is searched for its break
        // once, not again from its start with each piece.
        const std::size_t contentEnd = LineEnd(text, std::max(parsed_, unbroken_), to);
        // A line is whole once its break is here; a CR may yet be followed by LF.
        if (!toTheEnd && (contentEnd == to || (text[contentEnd] == '\r' && contentEnd + 1 == to))) {
            unbroken_ = contentEnd;
            return;
        }
        unbroken_ = 0;
        const std::size_t next = BreakEnd(text, contentEnd, to);
        const std::string_view line = text.substr(parsed_, contentEnd - parsed_);
        if (const auto name = SectionName(line);
            name && name->size() <= kLongestName &&
            next - parsed_ <= std::numeric_limits<std::uint32_t>::max()) {
            addSection({parsed_, static_cast<std::uint32_t>(name->data() - line.data()),
                        static_cast<std::uint32_t>(name->size()), true});
        }
        parsed_ = next;
    }
}

void ProfileText::addSection(Section section) {
    sections_.push_back(section);
    if (naming_)
        nameSection(sections_.size() - 1);
}

void ProfileText::nameSection(std::size_t i) {
    if (2 * (named_ + 1) > names_.size()) {
        // Twice the room; the names held move by their kept hashes.
        std::vector<NameSlot> held(std::max<std::size_t>(16, 2 * names_.size()));
        held.swap(names_);
        for (const NameSlot& slot : held)
            if (slot.section != kNoSection)
                names_[freeSlot(slot.hash)] = slot;
    }
    const std::uint32_t hash = NameHash(name(i));
    NameSlot& slot = names_[slotOf(name(i), hash)];
    sections_[i].firstOfName = slot.section == kNoSection;
    if (slot.section == kNoSection) {
        slot = {static_cast<std::uint32_t>(i), hash};
        ++named_;
    }
}

void ProfileText::indexNames() {
    names_.clear();
    named_ = 0;
    for (std::size_t i = 0; i < sections_.size(); ++i)
        nameSection(i);
}

std::uint32_t ProfileText::NameHash(std::string_view name) {
    std::uint64_t hash = 1469598103934665603ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    // The high bits of a multiplied hash spread ids that differ in one digit.
    return static_cast<std::uint32_t>((hash * 0x9E3779B97F4A7C15ull) >> 32);
}

std::size_t ProfileText::freeSlot(std::uint32_t hash) const {
    const std::size_t mask = names_.size() - 1;
    std::size_t at = hash >> (32 - std::countr_zero(names_.size()));
    while (names_[at].section != kNoSection)
        at = (at + 1) & mask;
    return at;
}

std::size_t ProfileText::slotOf(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = names_.size() - 1;
    for (std::size_t at = hash >> (32 - std::countr_zero(names_.size()));; at = (at + 1) & mask) {
        const NameSlot& slot = names_[at];
        if (slot.section == kNoSection ||
            (slot.hash == hash && EqualsIgnoringAsciiCase(this->name(slot.section), name)))
            return at;
    }
}

std::string_view ProfileText::name(std::size_t i) const {
    const Section& s = sections_[i];
    return std::string_view(bytes_).substr(s.begin + s.nameOffset, s.nameSize);
}

std::size_t ProfileText::end(std::size_t i) const {
    return i + 1 < sections_.size() ? sections_[i + 1].begin : bytes_.size();
}

std::size_t ProfileText::body(std::size_t i) const {
    return BreakEnd(bytes_, LineEnd(bytes_, sections_[i].begin, end(i)), end(i));
}

std::optional<std::size_t> ProfileText::find(std::string_view name) const {
    if (names_.empty())
        return std::nullopt;
    const std::uint32_t held = names_[slotOf(name, NameHash(name))].section;
    if (held == kNoSection)
        return std::nullopt;
    return held;
}

std::optional<std::string_view> ProfileText::value(std::size_t i, std::string_view key) const {
    std::optional<std::string_view> found;
    ForEachLine(bytes_, body(i), end(i), [&](const Line& line) {
        const auto entry = ParseEntry(std::string_view(bytes_).substr(
            line.begin, line.contentEnd - line.begin));
        if (entry && EqualsIgnoringAsciiCase(entry->key, key))
            found = Unquote(entry->value);
        return !found;
    });
    return found;
}

ProfileText::Edit ProfileText::WriteEdit(std::string_view section,
                                         std::span<const Entry> entries) const {
    CheckName(section, "]\r\n", "section name");
    for (const auto& [key, value] : entries)
        CheckName(key, "=\r\n", "key", "[;");
    const std::string_view text = bytes_;
    const auto found = find(section);
    if (!found) {
        std::string added;
        if (!text.empty() && text.back() != '\n' && text.back() != '\r' && text != kByteOrderMark)
            added += kLineBreak;
        added += '[';
        added += section;
        added += ']';
        added += kLineBreak;
        for (const auto& [key, value] : entries)
            added += FormatIniEntry(key, value).append(kLineBreak);
        return {{text.size(), text.size(), std::move(added)}};
    }

    const Section& s = sections_[*found];
    const std::size_t body = this->body(*found);
    const std::size_t sectionEnd = end(*found);
    // Rewrites go where their keys stand; new keys follow the section's last
    // entry, on a line of their own even when the file ends without a break.
    struct Rewrite {
        std::size_t begin;
        std::size_t end;
        std::string line;
    };
    std::vector<Rewrite> rewrites;
    std::string added;
    for (const auto& entry : entries) {
        // A name for the lambda below, which cannot take a structured binding.
        const std::string_view key = entry.first;
        const std::string_view value = entry.second;
        std::optional<Line> at;
        ForEachLine(text, body, sectionEnd, [&](const Line& line) {
            const auto parsed = ParseEntry(text.substr(line.begin, line.contentEnd - line.begin));
            if (parsed && EqualsIgnoringAsciiCase(parsed->key, key))
                at = line;
            return !at;
        });
        if (at)
            rewrites.push_back({at->begin, at->contentEnd, FormatIniEntry(key, value)});
        else
            added += FormatIniEntry(key, value).append(kLineBreak);
    }
    std::size_t insertAt = body;
    bool breakMissing = LineEnd(text, s.begin, body) == body;
    ForEachLine(text, body, sectionEnd, [&](const Line& line) {
        if (ParseEntry(text.substr(line.begin, line.contentEnd - line.begin))) {
            insertAt = line.next;
            breakMissing = line.next == line.contentEnd;
        }
        return true;
    });
    if (!added.empty()) {
        if (breakMissing)
            added.insert(0, kLineBreak);
        rewrites.push_back({insertAt, insertAt, std::move(added)});
    }
    std::stable_sort(rewrites.begin(), rewrites.end(),
                     [](const Rewrite& a, const Rewrite& b) { return a.begin < b.begin; });

    std::string rebuilt;
    std::size_t copied = s.begin;
    for (const auto& rewrite : rewrites) {
        if (rewrite.begin < copied)
            continue; // the same key named twice in one call
        rebuilt.append(text.substr(copied, rewrite.begin - copied));
        rebuilt += rewrite.line;
        copied = rewrite.end;
    }
    rebuilt.append(text.substr(copied, sectionEnd - copied));
    return {{s.begin, sectionEnd, std::move(rebuilt)}};
}

ProfileText::Edit ProfileText::RemoveEdit(std::string_view section) const {
    Edit edit;
    if (!find(section))
        return edit;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (EqualsIgnoringAsciiCase(name(i), section))
            edit.push_back({sections_[i].begin, end(i), {}});
    }
    return edit;
}

std::vector<std::string_view> ProfileText::EditedPieces(const Edit& edit) const {
    const std::string_view text = bytes_;
    std::vector<std::string_view> pieces;
    std::size_t copied = 0;
    for (const Splice& splice : edit) {
        pieces.push_back(text.substr(copied, splice.begin - copied));
        pieces.push_back(splice.text);
        copied = splice.end;
    }
    pieces.push_back(text.substr(copied));
    std::erase_if(pieces, [](std::string_view piece) { return piece.empty(); });
    return pieces;
}

std::string ProfileText::Edited(const Edit& edit) const {
    std::string text;
    for (const auto piece : EditedPieces(edit))
        text.append(piece);
    return text;
}

void ProfileText::Apply(const Edit& edit) {
    if (!finished_)
        throw std::logic_error("A profile text is edited only once it is whole");
    bool namesMoved = false;
    // From the last splice back, so the offsets of those before stay true.
    for (auto splice = edit.rbegin(); splice != edit.rend(); ++splice) {
        const auto byBegin = [](const Section& s, std::size_t at) { return s.begin < at; };
        const auto first = static_cast<std::size_t>(
            std::lower_bound(sections_.begin(), sections_.end(), splice->begin, byBegin) -
            sections_.begin());
        const auto last = static_cast<std::size_t>(
            std::lower_bound(sections_.begin() + static_cast<std::ptrdiff_t>(first),
                             sections_.end(), splice->end, byBegin) -
            sections_.begin());
        bytes_.replace(splice->begin, splice->end - splice->begin, splice->text);
        const std::ptrdiff_t moved = static_cast<std::ptrdiff_t>(splice->text.size()) -
                                     static_cast<std::ptrdiff_t>(splice->end - splice->begin);
        for (std::size_t i = last; i < sections_.size(); ++i)
            sections_[i].begin = static_cast<std::size_t>(
                static_cast<std::ptrdiff_t>(sections_[i].begin) + moved);

        // The sections the splice's text holds take the place of those it replaced.
        std::vector<Section> tail(sections_.begin() + static_cast<std::ptrdiff_t>(last),
                                  sections_.end());
        const std::vector<Section> replaced(sections_.begin() + static_cast<std::ptrdiff_t>(first),
                                            sections_.begin() + static_cast<std::ptrdiff_t>(last));
        sections_.resize(first);
        const bool appending = tail.empty() && replaced.empty() && !namesMoved;
        const std::size_t savedParsed = parsed_;
        parsed_ = splice->begin;
        // Unless the text is only added to, parsed without the table of
        // names, which is made again below.
        naming_ = appending;
        parseLines(splice->begin + splice->text.size(), true);
        naming_ = true;
        if (!appending) {
            const std::size_t added = sections_.size() - first;
            namesMoved = namesMoved || added != replaced.size() ||
                         !std::equal(replaced.begin(), replaced.end(),
                                     sections_.begin() + static_cast<std::ptrdiff_t>(first),
                                     [](const Section& a, const Section& b) {
                                         return a.nameSize == b.nameSize &&
                                                a.nameOffset == b.nameOffset;
                                     });
            for (std::size_t i = first; i < sections_.size() && !namesMoved; ++i)
                sections_[i].firstOfName = replaced[i - first].firstOfName;
        }
        parsed_ = savedParsed + static_cast<std::size_t>(moved);
        sections_.insert(sections_.end(), tail.begin(), tail.end());
    }
    parsed_ = bytes_.size();
    if (namesMoved)
        indexNames();
}

} // namespace stanzel
