#include "storage/draft_store.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSection = "draft";
constexpr std::string_view kSuffix = ".draft";
constexpr std::string_view kFolder = "drafts";
constexpr std::string_view kKeptAtCloseNote = "kept-at-close";
// Reading a value can never give a line break, so this tells a missing key.
constexpr std::string_view kAbsent = "\n";
// Bigger than any poem the store would load; a file beyond it is not a draft
// the program wrote, and reading it would only stall the window.
constexpr std::uintmax_t kLargestDraft = 192 * 1024 * 1024;

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    if (text.empty() || (text.front() == '0' && text.size() > 1))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() ||
        value > DraftStore::kLargestNumber)
        return std::nullopt;
    return value;
}

// The number in a draft file's name, "17.draft"; nothing for other names.
std::optional<std::uint64_t> DraftNumber(std::string_view text) {
    if (!text.ends_with(kSuffix))
        return std::nullopt;
    const auto number = ParseNumber(text.substr(0, text.size() - kSuffix.size()));
    if (!number || *number == 0)
        return std::nullopt;
    return number;
}

// The size of a plain file under the name itself, a link never followed.
std::optional<std::uintmax_t> RegularFileSize(const FileRef& file) {
    struct stat info {};
    if (!StatNameInFolder(file, info) || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::uintmax_t>(info.st_size);
}

std::string FormatDraft(const Draft& draft) {
    const std::pair<std::string_view, std::string> entries[] = {
        {"title", EscapeDraftField(draft.poem.title)},
        {"poet", EscapeDraftField(draft.poem.poet)},
        {"date", EscapeDraftField(draft.poem.date)},
        {"id", FormatInt32(draft.poem.id)},
        {"time", EscapeDraftField(draft.time)},
        {"length", std::to_string(draft.poem.text.size())},
        {"text", EscapeDraftField(draft.poem.text)},
    };
    std::string bytes;
    bytes.append("[").append(kSection).append("]\r\n");
    for (const auto& [key, value] : entries)
        bytes += FormatIniEntry(key, value) + "\r\n";
    // Only a deleted poem's draft says so: every other one reads as before.
    if (draft.deleted)
        bytes += FormatIniEntry("deleted", "1") + "\r\n";
    if (draft.elsewhere)
        bytes += FormatIniEntry("elsewhere", "1") + "\r\n";
    return bytes;
}

std::optional<Draft> ReadDraftFile(const FileRef& path, std::uint64_t number) {
    // A pipe or device would block the read, a link may point anywhere: only
    // a plain file is a draft.
    const auto size = RegularFileSize(path);
    if (!size || *size > kLargestDraft)
        return std::nullopt;

    const IniFile file(path);
    const auto field = [&](std::string_view key) -> std::optional<std::string> {
        std::string value = file.ReadText(kSection, key, kAbsent);
        if (value == kAbsent)
            return std::nullopt;
        return value;
    };
    const auto title = field("title"), poet = field("poet"), date = field("date"), id = field("id"),
               time = field("time"), length = field("length"), text = field("text");
    if (!title || !poet || !date || !id || !time || !length || !text)
        return std::nullopt;

    Draft draft;
    draft.number = number;
    draft.time = UnescapeDraftField(*time);
    draft.poem.title = UnescapeDraftField(*title);
    draft.poem.poet = UnescapeDraftField(*poet);
    draft.poem.date = UnescapeDraftField(*date);
    draft.poem.text = UnescapeDraftField(*text);
    draft.deleted = field("deleted") == "1";
    draft.elsewhere = field("elsewhere") == "1";
    if (*id != "0") {
        const auto poemId = CanonicalPoemId(*id);
        if (!poemId)
            return std::nullopt;
        draft.poem.id = *poemId;
    }
    // A copy cut short (or a text changed by hand) no longer matches its length.
    const auto bytes = ParseNumber(*length);
    if (!bytes || *bytes != draft.poem.text.size())
        return std::nullopt;
    return draft;
}

} // namespace

std::string EscapeDraftField(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UnescapeDraftField(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == '\\' || next == 'r' || next == 'n' || next == '0')) {
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == '0' ? '\0' : '\\';
            ++i;
            continue;
        }
        // Any other backslash, which only a hand edit makes, stands as written.
        out += text[i];
    }
    return out;
}

std::string_view FirstLineOf(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

DraftStore::DraftStore(std::shared_ptr<const Folder> collection)
    : collection_(std::move(collection)) {}

DraftStore::DraftStore(const fs::path& dataFolder) : DraftStore(Folder::Open(dataFolder)) {}

fs::path DraftStore::folder() const {
    return collection_->path() / kFolder;
}

FileRef DraftStore::drafts(std::string_view name) const {
    return {collection_, std::string(kFolder) + "/" + std::string(name)};
}

FileRef DraftStore::fileOf(std::uint64_t number) const {
    return drafts(std::to_string(number) + std::string(kSuffix));
}

std::vector<DraftStore::Entry> DraftStore::entries() const {
    std::vector<Entry> found;
    // The folder itself never through a link: what it leads to is not the
    // collection's.
    const int fd = OpenInFolder(FileRef(collection_, std::string(kFolder)),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* const dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (const auto number = DraftNumber(entry->d_name)) {
            struct stat info {};
            const bool regular =
                ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode);
            found.push_back({*number, regular});
        }
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const Entry& a, const Entry& b) { return a.number > b.number; });
    return found;
}

DraftStore::Kept DraftStore::Keep(const PoemRecord& poem, std::string_view time) {
    return keep(poem, time, false, false);
}

DraftStore::Kept DraftStore::KeepDeleted(const PoemRecord& poem, std::string_view time) {
    return keep(poem, time, true, false);
}

DraftStore::Kept DraftStore::KeepElsewhere(const PoemRecord& poem, std::string_view time) {
    return keep(poem, time, false, true);
}

DraftStore::Kept DraftStore::keep(const PoemRecord& poem, std::string_view time, bool deleted,
                                  bool elsewhere) {
    Kept kept;
    // Only the drafts folder itself: a collection folder moved away while
    // the program runs is never made again at its old place.
    if (MakeFolderIn(FileRef(collection_, std::string(kFolder))) != 0 && errno != EEXIST) {
        kept.error = {errno, std::generic_category()};
        return kept;
    }
    if (!temporariesCleared_) {
        RemoveStaleTemporaryFiles(FileRef(collection_, std::string(kFolder)));
        temporariesCleared_ = true;
    }

    // Only files count and go: whatever else stands in the folder under a
    // draft's name is not the program's to remove.
    const std::vector<Entry> inUse = entries();
    std::vector<std::uint64_t> files;
    for (const Entry& entry : inUse)
        if (entry.regularFile)
            files.push_back(entry.number);
    const auto removeFile = [&](std::size_t newest) { RemoveInFolder(fileOf(files[newest])); };
    // A run killed between writing its draft and removing the oldest left
    // one too many: without this, kills in a row would let the folder grow.
    for (std::size_t newest = kKept; newest < files.size(); ++newest)
        removeFile(newest);

    // One past the highest number in use, whatever stands under it: a name
    // taken by anything at all is never written over.
    // Past the largest number there is none left: the draft is refused, never
    // given a number that wraps round below the others.
    std::uint64_t number = inUse.empty() ? 1 : inUse.front().number + 1;
    for (struct stat info{}; number <= kLargestNumber; ++number) {
        // A folder that cannot be searched says nothing about any name; the
        // write below then fails and reports it.
        if (!StatNameInFolder(fileOf(number), info))
            break;
    }
    if (number > kLargestNumber) {
        kept.error = std::make_error_code(std::errc::value_too_large);
        return kept;
    }

    Draft draft;
    draft.number = number;
    draft.time = time;
    draft.poem = poem;
    draft.deleted = deleted;
    draft.elsewhere = elsewhere;
    kept.error = ReplaceFileAtomically(fileOf(number), FormatDraft(draft));
    if (kept.error)
        return kept;
    kept.number = number;
    // The oldest goes only once the newest is safe.
    if (files.size() >= kKept)
        removeFile(kKept - 1);
    return kept;
}

DraftStore::Kept DraftStore::KeepAtClose(const PoemRecord& poem, std::string_view time) {
    Kept kept = Keep(poem, time);
    if (!kept.error)
        ReplaceFileAtomically(drafts(kKeptAtCloseNote), std::to_string(kept.number));
    return kept;
}

std::optional<Draft> DraftStore::TakeKeptAtClose() {
    const FileRef note = drafts(kKeptAtCloseNote);
    const auto size = RegularFileSize(note);
    if (!size || *size > 32)
        return std::nullopt;
    const std::string text = ReadWholeFile(note).bytes;
    RemoveInFolder(note);
    const auto number = ParseNumber(text);
    if (!number)
        return std::nullopt;
    return Read(*number);
}

std::vector<Draft> DraftStore::List() const {
    std::vector<Draft> drafts;
    for (const Entry& entry : entries()) {
        if (!entry.regularFile)
            continue;
        if (auto draft = ReadDraftFile(fileOf(entry.number), entry.number))
            drafts.push_back(std::move(*draft));
    }
    return drafts;
}

std::optional<Draft> DraftStore::Read(std::uint64_t number) const {
    return ReadDraftFile(fileOf(number), number);
}

bool DraftStore::Remove(std::uint64_t number) {
    return RemoveInFolder(fileOf(number)) == 0 || errno == ENOENT;
}

} // namespace stanzel
