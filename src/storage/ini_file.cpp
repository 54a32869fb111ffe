#include "storage/ini_file.h"

#include "storage/ascii.h"
#include "storage/atomic_file.h"
#include "storage/number_text.h"
#include "storage/storage_error.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

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

// Walks the lines of a text in one pass, whatever mix of breaks it holds.
class LineScanner {
public:
    LineScanner(std::string_view text, std::size_t from, std::size_t to)
        : text_(text), pos_(from), end_(to), nextLf_(find('\n')), nextCr_(find('\r')) {}

    bool next(Line& line) {
        if (pos_ >= end_)
            return false;
        // Each break character is searched for once per pass, so a file with
        // only CR breaks costs no more than one with only LF breaks.
        if (nextLf_ < pos_)
            nextLf_ = find('\n');
        if (nextCr_ < pos_)
            nextCr_ = find('\r');
        const std::size_t contentEnd = std::min(nextLf_, nextCr_);
        std::size_t next = contentEnd;
        if (contentEnd < end_) {
            next = contentEnd + 1;
            if (text_[contentEnd] == '\r' && next < end_ && text_[next] == '\n')
                ++next;
        }
        line = {pos_, contentEnd, next};
        pos_ = next;
        return true;
    }

private:
    std::size_t find(char c) const {
        const void* hit = std::memchr(text_.data() + pos_, c, end_ - pos_);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : end_;
    }

    std::string_view text_;
    std::size_t pos_;
    std::size_t end_;
    std::size_t nextLf_;
    std::size_t nextCr_;
};

// The section name of a line such as "[name]", or nothing for other lines.
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

TIniFile::TIniFile(std::filesystem::path path) : path_(std::move(path)) {}

void TIniFile::load() const {
    if (!loaded_) {
        // Reads never fail: an unreadable file reads as an empty one.
        bytes_ = ReadWholeFile(path_).bytes;
        loaded_ = true;
        parsed_ = false;
    }
    if (!parsed_) {
        parse();
        parsed_ = true;
    }
}

void TIniFile::parse() const {
    sections_.clear();
    nameSlots_.clear();
    const std::string_view text = bytes_;
    const std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;

    LineScanner lines(text, start, text.size());
    Line line;
    while (lines.next(line)) {
        const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
        // Only section lines matter here; entries are found when asked for.
        if (content.empty() || (content.front() != '[' && !IsBlank(content.front())))
            continue;
        const auto name = SectionName(content);
        if (!name)
            continue;
        if (!sections_.empty())
            sections_.back().end = line.begin;
        sections_.push_back({*name, line.begin, line.next, text.size(), true});
    }
    indexNames();
}

void TIniFile::indexNames() const {
    std::size_t capacity = 16;
    while (capacity < sections_.size() * 2)
        capacity *= 2;
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

const TIniFile::Section* TIniFile::findSection(std::string_view name) const {
    load();
    if (sections_.empty())
        return nullptr;
    const std::size_t mask = nameSlots_.size() - 1;
    for (std::size_t slot = HashName(name) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = nameSlots_[slot];
        if (held == 0)
            return nullptr;
        if (EqualsIgnoringAsciiCase(sections_[held - 1].name, name))
            return &sections_[held - 1];
    }
}

std::optional<TIniFile::Found> TIniFile::findEntry(const Section& section,
                                                   std::string_view key) const {
    LineScanner lines(bytes_, section.bodyBegin, section.end);
    Line line;
    while (lines.next(line)) {
        const auto entry =
            ParseEntry(std::string_view(bytes_).substr(line.begin, line.contentEnd - line.begin));
        if (entry && EqualsIgnoringAsciiCase(entry->key, key))
            return Found{line.begin, line.contentEnd, entry->value};
    }
    return std::nullopt;
}

std::string TIniFile::ReadText(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
    const Section* found = findSection(section);
    if (!found)
        return std::string(defaultText);
    const auto entry = findEntry(*found, key);
    if (!entry)
        return std::string(defaultText);
    return std::string(Unquote(entry->value));
}

std::int32_t TIniFile::ReadNumber(std::string_view section, std::string_view key,
                                  std::int32_t defaultNumber) const {
    return ParseInt32(ReadText(section, key, "")).value_or(defaultNumber);
}

void TIniFile::ListSections(std::vector<std::string>& names) const {
    names.clear();
    ForEachSection([&](std::string_view name) { names.emplace_back(name); });
}

void TIniFile::ForEachSection(const std::function<void(std::string_view)>& visit) const {
    load();
    for (const auto& section : sections_) {
        if (section.firstOfName)
            visit(section.name);
    }
}

bool TIniFile::SectionExists(std::string_view section) const {
    return findSection(section);
}

void TIniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    WriteTexts(section, {{key, value}});
}

void TIniFile::WriteNumber(std::string_view section, std::string_view key, std::int32_t value) {
    WriteText(section, key, FormatInt32(value));
}

void TIniFile::WriteTexts(std::string_view section, std::initializer_list<Entry> entries) {
    CheckName(section, "]\r\n", "section name");
    for (const auto& [key, value] : entries)
        CheckName(key, "=\r\n", "key");
    load();

    const std::string_view text = bytes_;
    std::string result;
    result.reserve(text.size() + 64 + entries.size() * 64);

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
        replace(std::move(result));
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
    replace(std::move(result));
}

void TIniFile::RemoveSection(std::string_view section) {
    load();
    const Section* first = findSection(section);
    if (!first)
        return;
    const std::string_view text = bytes_;
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;
    for (const auto& candidate : sections_) {
        if (!EqualsIgnoringAsciiCase(candidate.name, section))
            continue;
        result.append(text.substr(copied, candidate.begin - copied));
        copied = candidate.end;
    }
    result.append(text.substr(copied));
    replace(std::move(result));
}

void TIniFile::replace(std::string bytes) {
    if (ReplaceFileAtomically(path_, bytes))
        throw StorageError("Unable to write to " + std::filesystem::absolute(path_).string());
    bytes_ = std::move(bytes);
    parsed_ = false; // parsed again only if this object is asked again
}

} // namespace stanzel
