#include "storage/ini_file.h"

#include "storage/ascii.h"
#include "storage/atomic_file.h"
#include "storage/large_pages.h"
#include "storage/number_text.h"
#include "storage/storage_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace stanzel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";

// One line of the file: [begin, contentEnd) is its text, [contentEnd, next)
// its line break, which may be CR LF, LF, CR or nothing at the end of the file.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t next;
};

// Where the line that holds `from` ends, before its line break. The search
// for LF looks only a short way ahead at a time, so a file whose lines end in
// CR alone costs no more than any other.
std::size_t LineEnd(std::string_view text, std::size_t from, std::size_t end) {
    constexpr std::size_t kStep = 256;
    const char* const first = text.data();
    while (from < end) {
        const std::size_t window = std::min(end - from, kStep);
        const void* lf = std::memchr(first + from, '\n', window);
        const std::size_t limit =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - first) : from + window;
        if (const void* cr = std::memchr(first + from, '\r', limit - from))
            return static_cast<std::size_t>(static_cast<const char*>(cr) - first);
        if (lf)
            return limit;
        from = limit;
    }
    return end;
}

// Where the line break at `at` ends: after CR LF, LF or CR, or at once when
// the text ends there.
std::size_t BreakEnd(std::string_view text, std::size_t at, std::size_t end) {
    if (at >= end)
        return at;
    if (text[at] == '\r' && at + 1 < end && text[at + 1] == '\n')
        return at + 2;
    return at + 1;
}

// Walks the lines of a stretch of text, whatever mix of breaks it holds.
// Only a section's own lines are walked this way; they are short.
class LineScanner {
public:
    LineScanner(std::string_view text, std::size_t from, std::size_t to)
        : text_(text), pos_(from), end_(to) {}

    bool next(Line& line) {
        if (pos_ >= end_)
            return false;
        const std::size_t contentEnd = LineEnd(text_, pos_, end_);
        line = {pos_, contentEnd, BreakEnd(text_, contentEnd, end_)};
        pos_ = line.next;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_;
    std::size_t end_;
};

// The value of the line [first, contentEnd) when the line holds `key`: the
// key, blanks, then "=". What ParseEntry would find, without parsing lines
// that hold other keys. `first` is the line's first non-blank character.
std::optional<std::string_view> MatchEntry(std::string_view text, std::size_t first,
                                           std::size_t contentEnd, std::string_view key) {
    // A comment line holds no entry, whatever it looks like.
    if (contentEnd - first <= key.size() || text[first] == ';' ||
        !EqualsIgnoringAsciiCase(text.substr(first, key.size()), key))
        return std::nullopt;
    std::size_t equals = first + key.size();
    while (equals < contentEnd && IsBlank(text[equals]))
        ++equals;
    if (equals >= contentEnd || text[equals] != '=')
        return std::nullopt;
    return TrimBlanks(text.substr(equals + 1, contentEnd - equals - 1));
}

// The section name of a line such as "[name]", or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    // Names are short: a loop finds the "]" sooner than a call to memchr.
    std::size_t close = 1;
    while (close < line.size() && line[close] != ']')
        ++close;
    if (close == line.size())
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

struct SectionLine {
    std::string_view name;
    std::size_t begin; // start of the line
    std::size_t next;  // start of the line after it
};

// The next section line from `pos` on, which is moved past it. Every section
// line holds a "[": jumping from one to the next keeps the parse of a
// 100,000-poem index in step with reading it. `start` is where the text
// begins after a byte-order mark.
std::optional<SectionLine> NextSectionLine(std::string_view text, std::size_t start,
                                           std::size_t& pos) {
    while (pos < text.size()) {
        const void* hit = std::memchr(text.data() + pos, '[', text.size() - pos);
        if (!hit)
            break;
        const std::size_t bracket =
            static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        pos = bracket + 1;
        std::size_t lineBegin = bracket;
        while (lineBegin > start && IsBlank(text[lineBegin - 1]))
            --lineBegin;
        if (lineBegin > start && text[lineBegin - 1] != '\n' && text[lineBegin - 1] != '\r')
            continue; // a "[" inside a value
        const std::size_t contentEnd = LineEnd(text, bracket, text.size());
        pos = BreakEnd(text, contentEnd, text.size());
        if (const auto name = SectionName(text.substr(lineBegin, contentEnd - lineBegin)))
            return SectionLine{*name, lineBegin, pos};
    }
    pos = text.size();
    return std::nullopt;
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

// The number a section name such as "42" stands for: digits only, no leading
// zero. 0 for every other name.
std::uint64_t DecimalName(std::string_view name) {
    if (name.empty() || name.size() > 18 || name.front() == '0')
        return 0;
    std::uint64_t number = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

std::uint64_t HashName(std::string_view name) {
    std::uint64_t hash = 1469598103934665603ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

void CheckName(std::string_view name, std::string_view forbidden, const char* what) {
    const bool bad = name.empty() || name != TrimBlanks(name) ||
                     name.find_first_of(forbidden) != std::string_view::npos ||
                     name.find('\0') != std::string_view::npos;
    if (bad)
        throw std::invalid_argument(std::string("Not a usable profile ") + what + ": \"" +
                                    std::string(name) + "\"");
}

// The texts of large files (a collection's index) are read into, and written
// from, buffers kept from command to command: a multi-megabyte buffer fresh
// from the system costs more to fault in than the file costs to read. A save
// holds two such texts at once (the index as read and as written), so two
// are kept spare; small files neither keep nor take one, or reading the
// settings beside a save would leave the save a fresh buffer to fault in.
class KeptBuffers {
public:
    // A buffer for a text of about `size` bytes.
    static std::shared_ptr<std::string> Take(std::size_t size) {
        if (size < kWorthKeeping)
            return std::make_shared<std::string>();
        KeptBuffers& kept = Instance();
        std::string* buffer = nullptr;
        {
            const std::lock_guard lock(kept.mutex_);
            if (!kept.spare_.empty()) {
                buffer = kept.spare_.back();
                kept.spare_.pop_back();
            }
        }
        if (!buffer)
            buffer = new std::string;
        return std::shared_ptr<std::string>(buffer, [](std::string* given) { Give(given); });
    }

private:
    static constexpr std::size_t kSpare = 2;
    static constexpr std::size_t kWorthKeeping = 1 << 20;

    // Never destroyed: a text may come back while the program ends.
    static KeptBuffers& Instance() {
        static KeptBuffers* const kept = new KeptBuffers;
        return *kept;
    }

    static void Give(std::string* buffer) {
        if (buffer->capacity() >= kWorthKeeping) {
            KeptBuffers& kept = Instance();
            const std::lock_guard lock(kept.mutex_);
            if (kept.spare_.size() < kSpare) {
                kept.spare_.push_back(buffer);
                return;
            }
        }
        delete buffer;
    }

    std::mutex mutex_;
    std::vector<std::string*> spare_;
};

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
    line.reserve(key.size() + stored.size() + 3);
    line += key;
    line += '=';
    if (changesOnReading)
        line += '"';
    line += stored;
    if (changesOnReading)
        line += '"';
    return line;
}

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

IniFile::~IniFile() {
    KeptVector<Section>::Give(std::move(sections_));
    KeptVector<std::uint32_t>::Give(std::move(nameSlots_));
}

void IniFile::loadBytes() const {
    if (!loaded_) {
        // Reads never fail: an unreadable file reads as an empty one. Writes
        // do fail then, or they would replace what could not be read.
        std::error_code unknownSize;
        const auto size = std::filesystem::file_size(path_, unknownSize);
        auto buffer = KeptBuffers::Take(unknownSize ? 0 : size);
        const auto error = ReadFileInto(path_, *buffer);
        readError_ = error == std::errc::no_such_file_or_directory ? std::error_code() : error;
        bytes_ = std::move(buffer);
        loaded_ = true;
        parsed_ = false;
    }
}

void IniFile::load() const {
    loadBytes();
    if (!parsed_) {
        parse();
        parsed_ = true;
    }
}

void IniFile::parse() const {
    // Room for the sections of a typical poem index at once: growing the
    // table step by step costs more than the parse itself.
    const std::size_t expected = bytes_->size() / 64 + 16;
    if (sections_.capacity() == 0)
        sections_ = KeptVector<Section>::Take(expected);
    sections_.clear();
    nameSlots_.clear();
    bool ascending = true;
    KeptVector<Section>::Reserve(sections_, expected);
    const std::string_view text = *bytes_;
    const std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;

    // Only section lines matter here; entries are found when asked for.
    std::size_t pos = start;
    while (const auto line = NextSectionLine(text, start, pos)) {
        if (!sections_.empty())
            sections_.back().end = line->begin;
        const std::uint64_t number = DecimalName(line->name);
        ascending = ascending && number > (sections_.empty() ? 0 : sections_.back().number);
        sections_.push_back({line->name, number, line->begin, line->next, text.size(), true});
    }
    // The poem index names its sections by ascending numbers, which can hold
    // no name twice and can be searched by halves; any other file gets a
    // table of its names.
    namesAscending_ = ascending;
    if (!ascending)
        indexNames();
}

void IniFile::indexNames() const {
    std::size_t capacity = 16;
    while (capacity < sections_.size() * 2)
        capacity *= 2;
    if (nameSlots_.capacity() < capacity)
        nameSlots_ = KeptVector<std::uint32_t>::Take(capacity);
    nameSlots_.assign(capacity, 0);
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        std::size_t slot = HashName(sections_[i].name) & mask;
        for (;;) {
            const std::uint32_t held = nameSlots_[slot];
            if (held == 0) {
                nameSlots_[slot] = static_cast<std::uint32_t>(i + 1);
                break;
            }
            if (EqualsIgnoringAsciiCase(sections_[held - 1].name, sections_[i].name)) {
                sections_[i].firstOfName = false;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    load();
    if (sections_.empty())
        return nullptr;
    if (namesAscending_) {
        const std::uint64_t number = DecimalName(name);
        const auto found = std::lower_bound(
            sections_.begin(), sections_.end(), number,
            [](const Section& section, std::uint64_t wanted) { return section.number < wanted; });
        return number != 0 && found != sections_.end() && found->number == number ? &*found
                                                                                  : nullptr;
    }
    const std::size_t mask = nameSlots_.size() - 1;
    for (std::size_t slot = HashName(name) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = nameSlots_[slot];
        if (held == 0)
            return nullptr;
        if (EqualsIgnoringAsciiCase(sections_[held - 1].name, name))
            return &sections_[held - 1];
    }
}

std::optional<IniFile::Found> IniFile::findEntry(const Section& section,
                                                   std::string_view key) const {
    const std::string_view text = *bytes_;
    std::size_t pos = section.bodyBegin;
    while (pos < section.end) {
        std::size_t first = pos;
        while (first < section.end && IsBlank(text[first]))
            ++first;
        const std::size_t contentEnd = LineEnd(text, first, section.end);
        if (const auto value = MatchEntry(text, first, contentEnd, key))
            return Found{pos, contentEnd, *value};
        pos = BreakEnd(text, contentEnd, section.end);
    }
    return std::nullopt;
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
    const Section* found = findSection(section);
    if (!found)
        return std::string(defaultText);
    const auto entry = findEntry(*found, key);
    if (!entry)
        return std::string(defaultText);
    return std::string(Unquote(entry->value));
}

std::int32_t IniFile::ReadNumber(std::string_view section, std::string_view key,
                                  std::int32_t defaultNumber) const {
    return ParseInt32(ReadText(section, key, "")).value_or(defaultNumber);
}

void IniFile::ListSections(std::vector<std::string>& names) const {
    names.clear();
    ForEachSection([&](std::string_view name) { names.emplace_back(name); });
}

void IniFile::ForEachSectionValue(
    std::string_view key, std::string_view defaultText,
    const std::function<void(std::string_view, std::string_view)>& visit) const {
    load();
    for (const auto& section : sections_) {
        if (!section.firstOfName)
            continue;
        const auto entry = findEntry(section, key);
        visit(section.name, entry ? Unquote(entry->value) : defaultText);
    }
}

std::shared_ptr<const std::string> IniFile::Contents() const {
    loadBytes();
    return bytes_;
}

namespace {

// One stretch of a poem index, read by ScanAscending.
struct ScanResult {
    bool ascending = true;
    std::uint64_t first = 0; // the first and last section numbers read
    std::uint64_t last = 0;
};

// The sections whose lines start in [from, to), each with the value of `key`,
// as long as their names are ascending numbers.
ScanResult ScanAscending(std::string_view text, std::size_t start, std::size_t from, std::size_t to,
                         std::string_view key, std::string_view defaultText, void* sink,
                         void (*add)(void*, std::string_view, std::string_view)) {
    ScanResult result;
    text = text.substr(0, to);
    std::size_t pos = from;
    while (const auto line = NextSectionLine(text, start, pos)) {
        const std::uint64_t number = DecimalName(line->name);
        if (number <= result.last) {
            result.ascending = false; // names that may repeat: the table of sections decides
            return result;
        }
        if (result.first == 0)
            result.first = number;
        result.last = number;

        // The section's lines up to the next section line, until one holds the key.
        std::string_view value = defaultText;
        while (pos < text.size()) {
            std::size_t first = pos;
            while (first < text.size() && IsBlank(text[first]))
                ++first;
            const std::size_t contentEnd = LineEnd(text, first, text.size());
            if (first < contentEnd && text[first] == '[' &&
                SectionName(text.substr(pos, contentEnd - pos)))
                break; // the next section
            pos = BreakEnd(text, contentEnd, text.size());
            if (const auto found = MatchEntry(text, first, contentEnd, key)) {
                value = Unquote(*found);
                break;
            }
        }
        add(sink, line->name, value);
    }
    return result;
}

} // namespace

bool IniFile::scanAscendingSections(std::string_view key, std::string_view defaultText,
                                     void* sink, AddRow add) const {
    loadBytes();
    const std::string_view text = *bytes_;
    const std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    return ScanAscending(text, start, start, text.size(), key, defaultText, sink, add).ascending;
}

std::uint64_t IniFile::LargestNumberedSection(std::uint64_t atMost) const {
    load();
    // The parse has made each name's number already: no name is looked at
    // again, and a poem index, in ascending order, is searched by halves.
    if (namesAscending_) {
        const auto after = std::upper_bound(
            sections_.begin(), sections_.end(), atMost,
            [](std::uint64_t wanted, const Section& section) { return wanted < section.number; });
        return after == sections_.begin() ? 0 : std::prev(after)->number;
    }
    std::uint64_t largest = 0;
    for (const Section& section : sections_) {
        if (section.number <= atMost && section.number > largest)
            largest = section.number;
    }
    return largest;
}

std::size_t IniFile::SectionCount() const {
    load();
    return static_cast<std::size_t>(
        std::count_if(sections_.begin(), sections_.end(),
                      [](const Section& section) { return section.firstOfName; }));
}

void IniFile::ForEachSection(const std::function<void(std::string_view)>& visit) const {
    load();
    for (const auto& section : sections_) {
        if (section.firstOfName)
            visit(section.name);
    }
}

bool IniFile::SectionExists(std::string_view section) const {
    return findSection(section);
}

std::size_t IniFile::SectionOffset(std::string_view section) const {
    const Section* found = findSection(section);
    return found ? found->begin : bytes_->size();
}

void IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    WriteTexts(section, {{key, value}});
}

void IniFile::WriteNumber(std::string_view section, std::string_view key, std::int32_t value) {
    WriteText(section, key, FormatInt32(value));
}

void IniFile::WriteTexts(std::string_view section, std::initializer_list<Entry> entries) {
    CheckName(section, "]\r\n", "section name");
    for (const auto& [key, value] : entries) {
        CheckName(key, "=\r\n", "key");
        // A key that opens with "[" would make its line read as a section,
        // one that opens with ";" as a comment.
        if (key.front() == '[' || key.front() == ';')
            throw std::invalid_argument("Not a usable profile key: \"" + std::string(key) + "\"");
    }
    loadForWriting();

    const std::string_view text = *bytes_;
    const auto kept = KeptBuffers::Take(text.size());
    std::string& result = *kept;
    result.clear();
    ReserveLarge(result, text.size() + 64 + entries.size() * 64);

    const Section* found = findSection(section);
    if (!found) {
        result.append(text);
        if (!result.empty() && result.back() != '\n' && result.back() != '\r' &&
            result != kByteOrderMark)
            result.append(kLineBreak);
        result += '[';
        result += section;
        result += ']';
        result.append(kLineBreak);
        for (const auto& [key, value] : entries) {
            result += FormatIniEntry(key, value);
            result.append(kLineBreak);
        }
        replace(kept);
        return;
    }

    // Rewrites go where their keys stand; new keys follow the section's last entry.
    struct Rewrite {
        std::size_t begin;
        std::size_t end;
        std::string line;
    };
    std::vector<Rewrite> rewrites;
    std::string added;
    for (const auto& [key, value] : entries) {
        if (const auto entry = findEntry(*found, key))
            rewrites.push_back({entry->begin, entry->contentEnd, FormatIniEntry(key, value)});
        else
            added += FormatIniEntry(key, value).append(kLineBreak);
    }

    Line line{};
    LineScanner header(text, found->begin, found->bodyBegin);
    header.next(line);
    std::size_t insertAt = found->bodyBegin;
    bool breakMissing = line.next == line.contentEnd;
    LineScanner lines(text, found->bodyBegin, found->end);
    while (lines.next(line)) {
        if (ParseEntry(text.substr(line.begin, line.contentEnd - line.begin))) {
            insertAt = line.next;
            breakMissing = line.next == line.contentEnd;
        }
    }
    if (!added.empty()) {
        if (breakMissing)
            added.insert(0, kLineBreak);
        rewrites.push_back({insertAt, insertAt, std::move(added)});
    }
    std::stable_sort(rewrites.begin(), rewrites.end(),
                     [](const Rewrite& a, const Rewrite& b) { return a.begin < b.begin; });

    std::size_t copied = 0;
    for (const auto& rewrite : rewrites) {
        if (rewrite.begin < copied)
            continue; // the same key named twice in one call
        result.append(text.substr(copied, rewrite.begin - copied));
        result += rewrite.line;
        copied = rewrite.end;
    }
    result.append(text.substr(copied));
    replace(kept);
}

void IniFile::RemoveSection(std::string_view section) {
    loadForWriting();
    const Section* first = findSection(section);
    if (!first)
        return;
    const std::string_view text = *bytes_;
    const auto kept = KeptBuffers::Take(text.size());
    std::string& result = *kept;
    result.clear();
    ReserveLarge(result, text.size());
    std::size_t copied = 0;
    for (const auto& candidate : sections_) {
        if (!EqualsIgnoringAsciiCase(candidate.name, section))
            continue;
        result.append(text.substr(copied, candidate.begin - copied));
        copied = candidate.end;
    }
    result.append(text.substr(copied));
    replace(kept);
}

void IniFile::loadForWriting() const {
    load();
    if (readError_)
        throw StorageError(UnableToWrite());
}

void IniFile::replace(std::shared_ptr<const std::string> bytes) {
    if (!held_ && ReplaceFileAtomically(path_, *bytes))
        throw StorageError(UnableToWrite());
    bytes_ = std::move(bytes);
    parsed_ = false; // parsed again only if this object is asked again
}

void IniFile::HoldWrites() {
    loadBytes();
    held_ = bytes_;
}

std::shared_ptr<const std::string> IniFile::HeldOriginal() const {
    return held_;
}

void IniFile::WriteHeld() {
    const auto original = std::exchange(held_, nullptr);
    if (!original || original == bytes_)
        return;
    if (ReplaceFileAtomically(path_, *bytes_)) {
        bytes_ = original;
        parsed_ = false;
        throw StorageError(UnableToWrite());
    }
}

std::string IniFile::UnableToWrite() const {
    return "Unable to write to " + std::filesystem::absolute(path_).string();
}

namespace {

// Whether a walk meets a section name for the first time. The names of a poem
// index are ascending numbers and need only that list; any other name is
// remembered in lower case, since names match whatever their case.
class SeenNames {
public:
    bool firstTime(std::string_view name) {
        if (const std::uint64_t number = DecimalName(name)) {
            if (ascending_.empty() || number > ascending_.back()) {
                ascending_.push_back(number);
                return true;
            }
            if (std::binary_search(ascending_.begin(), ascending_.end(), number))
                return false;
            return otherNumbers_.insert(number).second;
        }
        std::string lower(name);
        for (char& c : lower)
            c = AsciiLower(c);
        return otherNames_.insert(std::move(lower)).second;
    }

private:
    std::vector<std::uint64_t> ascending_;
    std::unordered_set<std::uint64_t> otherNumbers_;
    std::unordered_set<std::string> otherNames_;
};

// A stretch of the walk's buffer, kept as offsets since the buffer moves.
struct Stretch {
    std::size_t begin = 0;
    std::size_t size = 0;
    bool found = false;
};

} // namespace

IniSectionStream::IniSectionStream(const std::filesystem::path& path) {
    // Not blocking on open, so a FIFO in the file's place cannot hang the walk.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        fd_ = fd;
    else if (fd >= 0)
        ::close(fd);
}

IniSectionStream::IniSectionStream(std::shared_ptr<const std::string> text)
    : text_(std::move(text)) {}

IniSectionStream::~IniSectionStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool IniSectionStream::ForEachSection(std::span<const std::string_view> keys,
                                      std::string_view defaultText,
                                      const SectionVisit& visit) const {
    const std::vector<std::string_view> defaults(keys.size(), defaultText);
    return walk(keys, defaults, std::nullopt, visit);
}

bool IniSectionStream::FindSection(
    std::string_view name, std::span<const std::string_view> keys,
    std::span<const std::string_view> defaults,
    const std::function<void(std::span<const std::string_view> values)>& found) const {
    bool seen = false;
    walk(keys, defaults, name, [&](std::string_view, std::span<const std::string_view> values) {
        found(values);
        seen = true;
        return false;
    });
    return seen;
}

bool IniSectionStream::walk(std::span<const std::string_view> keys,
                            std::span<const std::string_view> defaults,
                            std::optional<std::string_view> only,
                            const SectionVisit& visit) const {
    if (fd_ < 0 && !text_)
        return true;
    // A section stays whole in the buffer until it has been visited; only a
    // section larger than the buffer makes it grow. A text in memory is
    // walked where it stands, all of it read at once.
    constexpr std::size_t kPiece = 1 << 20;
    if (!text_ && buffer_.size() < kPiece)
        buffer_.resize(kPiece);
    const auto data = [this] { return text_ ? text_->data() : buffer_.data(); };

    SeenNames seen;
    std::vector<Stretch> values(keys.size());
    std::vector<std::string_view> views(keys.size());
    Stretch name;
    // The open section's entries are looked at: any section's when keys are
    // asked for, only the named one's when one is looked for.
    bool wanted = false;
    std::size_t sectionBegin = 0; // where the open section's line starts
    std::size_t filled = 0;
    std::size_t pos = 0; // always the start of a line
    std::size_t fileOffset = 0;
    bool atEnd = false;
    if (text_) {
        filled = text_->size();
        atEnd = true;
        if (text_->starts_with(kByteOrderMark))
            pos = kByteOrderMark.size();
    }

    const auto visitSection = [&]() {
        if (!name.found)
            return true;
        const std::string_view nameView(data() + name.begin, name.size);
        if (only ? !wanted : !seen.firstTime(nameView))
            return true;
        for (std::size_t i = 0; i < keys.size(); ++i)
            views[i] = values[i].found
                           ? std::string_view(data() + values[i].begin, values[i].size)
                           : defaults[i];
        return visit(nameView, views);
    };
    // Keeps the open section and reads on behind it; false at the end.
    const auto readMore = [&]() {
        const std::size_t keep = name.found ? sectionBegin : pos;
        std::memmove(buffer_.data(), buffer_.data() + keep, filled - keep);
        filled -= keep;
        pos -= keep;
        if (name.found) {
            sectionBegin -= keep;
            name.begin -= keep;
        }
        for (Stretch& value : values) {
            if (value.found)
                value.begin -= keep;
        }
        if (filled == buffer_.size())
            buffer_.resize(buffer_.size() * 2);
        ssize_t got = 0;
        do {
            got = ::pread(fd_, buffer_.data() + filled, buffer_.size() - filled,
                          static_cast<off_t>(fileOffset));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            atEnd = true; // a file that fails midway reads as ending there
            return;
        }
        if (fileOffset == 0 && std::string_view(buffer_.data(), static_cast<std::size_t>(got))
                                   .starts_with(kByteOrderMark))
            pos = kByteOrderMark.size();
        fileOffset += static_cast<std::size_t>(got);
        filled += static_cast<std::size_t>(got);
    };

    for (;;) {
        const std::string_view text(data(), filled);
        if (!wanted) {
            // Only a section line matters here, and every section line holds
            // a "[": jump from one to the next, as the whole-file parse does.
            std::size_t from = pos;
            std::optional<std::size_t> found;
            while (from < filled) {
                const void* hit = std::memchr(text.data() + from, '[', filled - from);
                if (!hit)
                    break;
                const std::size_t bracket =
                    static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
                std::size_t lineBegin = bracket;
                while (lineBegin > pos && IsBlank(text[lineBegin - 1]))
                    --lineBegin;
                if (lineBegin == pos || text[lineBegin - 1] == '\n' ||
                    text[lineBegin - 1] == '\r') {
                    found = lineBegin;
                    break;
                }
                from = bracket + 1; // a "[" inside a value
            }
            if (!found) {
                if (atEnd)
                    break;
                // Nothing but other lines: go on from the last line start.
                for (std::size_t i = filled; i > pos; --i) {
                    if (text[i - 1] == '\n' || text[i - 1] == '\r') {
                        pos = i;
                        break;
                    }
                }
                readMore();
                continue;
            }
            pos = *found;
        }

        const std::size_t contentEnd = LineEnd(text, pos, filled);
        const bool lineIncomplete =
            contentEnd == filled || (text[contentEnd] == '\r' && contentEnd + 1 == filled);
        if (lineIncomplete && !atEnd) {
            readMore();
            continue;
        }
        if (pos >= filled)
            break;

        std::size_t first = pos;
        while (first < contentEnd && IsBlank(text[first]))
            ++first;
        const std::size_t next = BreakEnd(text, contentEnd, filled);
        if (first < contentEnd && text[first] == '[') {
            if (const auto section = SectionName(text.substr(pos, contentEnd - pos))) {
                if (!visitSection())
                    return false;
                sectionBegin = pos;
                name = {static_cast<std::size_t>(section->data() - text.data()), section->size(),
                        true};
                for (Stretch& value : values)
                    value.found = false;
                wanted = only ? EqualsIgnoringAsciiCase(*section, *only) : !keys.empty();
                pos = next;
                continue;
            }
        }
        if (wanted) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (values[i].found)
                    continue;
                if (const auto value = MatchEntry(text, first, contentEnd, keys[i])) {
                    const std::string_view unquoted = Unquote(*value);
                    values[i] = {static_cast<std::size_t>(unquoted.data() - text.data()),
                                 unquoted.size(), true};
                }
            }
        }
        pos = next;
    }
    return visitSection();
}

} // namespace stanzel
