#include "storage/poem_store.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/kept_vector.h"
#include "storage/number_text.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace stanzel {

namespace {

constexpr std::string_view kTitleKey = "title";
constexpr std::string_view kPoetKey = "poet";
constexpr std::string_view kDateKey = "date";
constexpr std::string_view kMissingTitle = "def";
constexpr std::int32_t kLargestId = std::numeric_limits<std::int32_t>::max();
constexpr std::uintmax_t kLargestPoemText = 64 * 1024 * 1024;

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

std::string CannotCreate(const std::filesystem::path& path, const std::error_code& error) {
    return "Cannot create file " + Quoted(path) + ". " + DescribeError(error);
}

} // namespace

std::optional<std::int32_t> CanonicalPoemId(std::string_view id) {
    if (id.empty() || id.size() > 10 || id.front() == '0')
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : id) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > kLargestId)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

PoemStore::PoemStore(std::filesystem::path programDir) : programDir_(std::move(programDir)) {}

std::filesystem::path PoemStore::indexPath() const {
    return programDir_ / "poems.dmp";
}

std::filesystem::path PoemStore::poemsDir() const {
    return programDir_ / "poems";
}

std::optional<std::filesystem::path> PoemStore::poemPath(std::string_view id) const {
    if (!CanonicalPoemId(id))
        return std::nullopt;
    return poemsDir() / (std::string(id) + ".poem");
}

PoemList& PoemList::operator=(PoemList&& other) noexcept {
    if (this != &other) {
        KeptVector<PoemListEntry>::Give(std::move(rows_));
        texts_ = std::move(other.texts_);
        rows_ = std::move(other.rows_);
    }
    return *this;
}

void PoemList::append(PoemList&& more) {
    if (rows_.empty()) {
        *this = std::move(more);
        return;
    }
    const std::size_t needed = rows_.size() + more.rows_.size();
    if (rows_.capacity() < needed) {
        // A list read in batches grows into the table a dropped list left,
        // rather than into fresh ones of every size on the way.
        auto grown = KeptVector<PoemListEntry>::Take(std::max(needed, 2 * rows_.capacity()));
        grown.assign(rows_.begin(), rows_.end());
        KeptVector<PoemListEntry>::Give(std::exchange(rows_, std::move(grown)));
    }
    rows_.insert(rows_.end(), more.rows_.begin(), more.rows_.end());
    texts_.insert(texts_.end(), std::make_move_iterator(more.texts_.begin()),
                  std::make_move_iterator(more.texts_.end()));
    more.texts_.clear();
    more.rows_.clear();
}

PoemList::~PoemList() {
    KeptVector<PoemListEntry>::Give(std::move(rows_));
}

PoemList PoemStore::ListPoems() const {
    const IniFile index(indexPath());
    auto rows = index.SectionValues<PoemListEntry>(kTitleKey, kMissingTitle);
    return PoemList({index.Contents()}, std::move(rows));
}

PoemFieldsList PoemStore::ListPoemFields() const {
    struct Value {
        std::string_view id;
        std::string_view value;
    };
    const IniFile index(indexPath());
    const auto titles = index.SectionValues<Value>(kTitleKey, kMissingTitle);
    const auto poets = index.SectionValues<Value>(kPoetKey, "");
    const auto dates = index.SectionValues<Value>(kDateKey, "");
    PoemFieldsList list{index.Contents(), {}};
    list.rows.reserve(titles.size());
    for (std::size_t i = 0; i < titles.size() && i < poets.size() && i < dates.size(); ++i)
        list.rows.push_back({titles[i].id, titles[i].value, poets[i].value, dates[i].value});
    return list;
}

PoemRecord PoemStore::LoadPoem(std::string_view id) const {
    PoemRecord poem;
    poem.id = CanonicalPoemId(id).value_or(0);
    poem.title = kMissingTitle;
    // Selecting a row must stay quick in any collection: the index is walked
    // in pieces up to the poem's section, never read or parsed whole.
    static constexpr std::string_view kKeys[] = {kTitleKey, kPoetKey, kDateKey};
    static constexpr std::string_view kDefaults[] = {kMissingTitle, "", ""};
    IniSectionStream(indexPath())
        .FindSection(id, kKeys, kDefaults, [&](std::span<const std::string_view> values) {
            poem.title = values[0];
            poem.poet = values[1];
            poem.date = values[2];
        });
    poem.text = LoadText(id);
    return poem;
}

std::string PoemStore::LoadText(std::string_view id) const {
    const auto path = poemPath(id);
    if (!path)
        return {};
    // A file of this size is no poem; reading it would only stall the window.
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(*path, sizeError);
    if (!sizeError && size > kLargestPoemText)
        throw StorageError("Cannot open file " + Quoted(*path) + ". It holds " +
                           std::to_string(size) + " bytes; a poem's text may hold " +
                           std::to_string(kLargestPoemText) + ".");
    FileContents contents = ReadWholeFile(*path);
    if (contents.error && !contents.missing())
        throw StorageError("Cannot open file " + Quoted(*path) + ". " +
                           DescribeError(contents.error));
    return NormaliseLineBreaks(contents.bytes);
}

void PoemStore::RemoveStaleTemporaryFiles() const {
    stanzel::RemoveStaleTemporaryFiles(programDir_);
    stanzel::RemoveStaleTemporaryFiles(poemsDir());
}

std::int32_t PoemStore::SavePoem(std::int32_t currentPoemId, std::string_view title,
                                 std::string_view poet, std::string_view date,
                                 std::string_view text, IniFile* settings,
                                 std::shared_ptr<const std::string>* writtenIndex) {
    if (currentPoemId < 0)
        throw std::invalid_argument("A stored poem's id is positive");
    // Made first, so that the files the last command replaced are let go of
    // while the index is read.
    FileReplacement replacement;
    IniFile index(indexPath());
    index.HoldWrites();
    // The index up to the poem's section comes out as it was read: it is
    // written while the section is found and made.
    replacement.CopyAhead(indexPath(), index.HeldOriginal());

    std::int32_t id = currentPoemId;
    if (id == 0) {
        // The counter lives in the settings file and the ids in the index; when
        // the two disagree (a settings file lost or restored from a backup),
        // a new poem must still never take the place of a stored one.
        std::int32_t next = std::max<std::int32_t>(autoid_, 1);
        if (const auto stored = static_cast<std::int32_t>(index.LargestNumberedSection(kLargestId));
            stored >= next)
            next = stored == kLargestId ? kLargestId : stored + 1;
        if (next == kLargestId && index.SectionExists(FormatInt32(kLargestId)))
            throw StorageError("No id is left for a new poem in " + Quoted(indexPath()) + ".");
        id = next;
        autoid_ = next == kLargestId ? kLargestId : next + 1;
    }
    const std::string idText = FormatInt32(id);
    replacement.CopyAheadUpTo(indexPath(), index.SectionOffset(idText));
    index.WriteTexts(idText, {{kTitleKey, title}, {kPoetKey, poet}, {kDateKey, date}});

    // Both files are written in full beside their targets before either is
    // replaced; see FileReplacement for the order that keeps every listed
    // poem's text readable.
    if (replacement.Prepare(indexPath(), *index.Contents(), index.HeldOriginal().get()))
        throw StorageError(index.UnableToWrite());
    if (settings) {
        WriteSetting(*settings, setting::autoid, autoid_);
        if (replacement.Prepare(settings->path(), *settings->Contents(),
                                settings->HeldOriginal().get()))
            throw StorageError(settings->UnableToWrite());
    }
    std::error_code ignored;
    std::filesystem::create_directories(poemsDir(), ignored);
    const auto path = *poemPath(idText);
    if (const auto error = replacement.Prepare(path, text))
        throw StorageError(CannotCreate(path, error));
    if (const auto failure = replacement.Commit()) {
        if (failure->path == path)
            throw StorageError(CannotCreate(path, failure->error));
        throw StorageError(failure->path == indexPath() ? index.UnableToWrite()
                                                        : settings->UnableToWrite());
    }
    if (writtenIndex)
        *writtenIndex = index.Contents();
    return id;
}

void PoemStore::DeletePoem(std::string_view id) {
    FileReplacement replacement; // first, as in SavePoem
    IniFile index(indexPath());
    index.HoldWrites();
    replacement.CopyAhead(indexPath(), index.HeldOriginal());
    replacement.CopyAheadUpTo(indexPath(), index.SectionOffset(id));
    index.RemoveSection(id);
    if (index.Contents() != index.HeldOriginal() &&
        replacement.Prepare(indexPath(), *index.Contents(), index.HeldOriginal().get()))
        throw StorageError(index.UnableToWrite());
    // The text goes last: a listed poem always has its text.
    const auto path = poemPath(id);
    if (path)
        replacement.Remove(*path);
    if (const auto failure = replacement.Commit()) {
        if (failure->removing)
            throw StorageError("Cannot delete file " + Quoted(failure->path) + ". " +
                               DescribeError(failure->error));
        throw StorageError(index.UnableToWrite());
    }
}

void PoemStore::DeletePoem(std::int32_t id) {
    DeletePoem(FormatInt32(id));
}

} // namespace stanzel
