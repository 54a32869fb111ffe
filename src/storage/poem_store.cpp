#include "storage/poem_store.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/number_text.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>
#include <utility>

namespace stanzel {

namespace {

constexpr std::string_view kTitleKey = "title";
constexpr std::string_view kPoetKey = "poet";
constexpr std::string_view kDateKey = "date";
constexpr std::string_view kMissingTitle = "def";
constexpr std::int32_t kLargestId = std::numeric_limits<std::int32_t>::max();
// A save whose index another program keeps replacing starts over on the
// new one; it gives up only after this long of that, rather than loop. A
// count alone would give up on a busy sync, whose index can arrive several
// times during one save's flushes on a slow disk.
constexpr auto kFreshStartsFor = std::chrono::seconds(5);

class FreshStarts {
public:
    bool another() { return first_ ? !(first_ = false) : Clock::now() < until_; }

private:
    using Clock = std::chrono::steady_clock;
    bool first_ = true;
    Clock::time_point until_ = Clock::now() + kFreshStartsFor;
};

// How much older text tells a collection's code page well enough, and how
// many poems' files are read for it when the index holds too little.
constexpr std::size_t kCodePageSample = 64 << 10;
constexpr std::size_t kCodePageSamplePoems = 64;

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

std::size_t ChangedPoems(const ProfileText& before, const ProfileText& after) {
    const auto sectionText = [](const ProfileText& index, std::size_t i) {
        const std::size_t begin = index.section(i).begin;
        return std::string_view(index.bytes()).substr(begin, index.end(i) - begin);
    };
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.sectionCount(); ++i) {
        if (!after.section(i).firstOfName)
            continue;
        const auto was = before.find(after.name(i));
        changed += !was || sectionText(before, *was) != sectionText(after, i) ? 1 : 0;
    }
    for (std::size_t i = 0; i < before.sectionCount(); ++i)
        changed += before.section(i).firstOfName && !after.find(before.name(i)) ? 1 : 0;
    return changed;
}

PoemStore::PoemStore(std::shared_ptr<const Folder> collection)
    : folder_(std::move(collection)), index_(std::make_shared<ProfileText>()),
      codePage_(SettingsFile(folder_),
                [this](std::string& sample) { sampleLinesNotUtf8(sample); }) {
    index_->Finish();
}

PoemStore::PoemStore(const std::filesystem::path& programDir)
    : PoemStore(Folder::Open(programDir)) {}

PoemStore::~PoemStore() = default;

std::optional<FileRef> PoemStore::poemFile(std::string_view id) const {
    if (!CanonicalPoemId(id))
        return std::nullopt;
    return FileRef(folder_, "poems/" + std::string(id) + ".poem");
}

void PoemStore::notify(bool before, PoemListObserver::Change change, std::size_t first,
                       std::size_t last) {
    if (!observer_)
        return;
    // What the observer does meanwhile (a view selecting another row) must
    // not read the index again in the middle of the change.
    const bool wasNotifying = std::exchange(notifying_, true);
    if (before)
        observer_->aboutToChange(change, first, last);
    else
        observer_->changed(change, first, last);
    notifying_ = wasNotifying;
}

void PoemStore::startReading() {
    started_ = true;
    notify(true, PoemListObserver::Change::Reset, 0, 0);
    reader_ = std::make_unique<FileReader>(indexFile());
    readError_ = reader_->error() == std::errc::no_such_file_or_directory ? std::error_code()
                                                                          : reader_->error();
    // An index that cannot be read lists nothing; its identity still tells
    // when it changes.
    identity_ = reader_->error() ? FileIdentity::Now(indexFile()) : reader_->identity();
    index_ = std::make_shared<ProfileText>();
    decodedTitles_.clear();
    rows_.clear();
    largestId_ = 0;
    if (reader_->error()) {
        reader_.reset();
        index_->Finish();
    }
    notify(false, PoemListObserver::Change::Reset, 0, 0);
}

bool PoemStore::ReadSome(std::size_t bytes) {
    if (!started_)
        startReading();
    if (!reader_)
        return false;
    const std::size_t sections = index_->sectionCount();
    const bool more =
        index_->AppendFrom([&](std::string& text) { return reader_->ReadSome(text, bytes); });
    if (!more) {
        // Written in place while it was read: what was read may be torn.
        if (reader_->ChangedSinceOpened()) {
            startReading();
            return true;
        }
        index_->Finish();
        readError_ = reader_->error();
        reader_.reset();
    }
    addRows(sections);
    return more;
}

std::vector<std::uint32_t> PoemStore::rowsFrom(std::size_t fromSection) {
    std::vector<std::uint32_t> added;
    for (std::size_t i = fromSection; i < index_->sectionCount(); ++i) {
        if (const auto id = CanonicalPoemId(index_->name(i)))
            largestId_ = std::max(largestId_, *id);
        if (index_->section(i).firstOfName)
            added.push_back(static_cast<std::uint32_t>(i));
    }
    return added;
}

void PoemStore::addRows(std::size_t fromSection) {
    const std::vector<std::uint32_t> added = rowsFrom(fromSection);
    if (added.empty())
        return;
    const std::size_t first = rows_.size();
    notify(true, PoemListObserver::Change::Insert, first, first + added.size() - 1);
    rows_.insert(rows_.end(), added.begin(), added.end());
    notify(false, PoemListObserver::Change::Insert, first, rows_.size() - 1);
}

void PoemStore::finishReading() {
    while (ReadSome(std::numeric_limits<std::size_t>::max() / 2)) {
    }
}

bool PoemStore::Refresh() {
    if (notifying_)
        return false;
    const bool first = !started_;
    finishReading();
    if (first)
        return true;
    if (FileIdentity::Now(indexFile()) == identity_)
        return false;
    startReading();
    finishReading();
    return true;
}

std::string_view PoemStore::id(std::size_t row) const {
    return index_->name(rows_[row]);
}

std::string_view PoemStore::title(std::size_t row) const {
    const std::string_view stored = index_->valueOr(rows_[row], kTitleKey, kMissingTitle);
    if (IsUtf8(stored))
        return stored;
    auto [decoded, added] = decodedTitles_.try_emplace(rows_[row]);
    if (added)
        decoded->second = codePage_.ToUtf8(stored);
    return decoded->second;
}

void PoemStore::sampleLinesNotUtf8(std::string& sample) const {
    for (std::size_t row = 0; row < rows_.size() && sample.size() < kCodePageSample; ++row)
        for (const auto key : {kTitleKey, kPoetKey, kDateKey})
            AppendLinesNotUtf8(sample, index_->valueOr(rows_[row], key, ""));
    // A collection whose titles are plain ASCII may still hold older texts.
    for (std::size_t row = 0;
         row < rows_.size() && row < kCodePageSamplePoems && sample.size() < kCodePageSample;
         ++row) {
        try {
            AppendLinesNotUtf8(sample, rawText(id(row)));
        } catch (const StorageError&) {
            // A poem that cannot be read tells nothing.
        }
    }
}

std::optional<std::size_t> PoemStore::rowOf(std::string_view id) const {
    const auto section = index_->find(id);
    if (!section)
        return std::nullopt;
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), *section);
    if (at == rows_.end() || *at != *section)
        return std::nullopt;
    return static_cast<std::size_t>(at - rows_.begin());
}

PoemRecord PoemStore::fields(std::size_t row) const {
    PoemRecord poem;
    const std::size_t section = rows_[row];
    poem.id = CanonicalPoemId(index_->name(section)).value_or(0);
    poem.title = AsUtf8(index_->valueOr(section, kTitleKey, kMissingTitle));
    poem.poet = AsUtf8(index_->valueOr(section, kPoetKey, ""));
    poem.date = AsUtf8(index_->valueOr(section, kDateKey, ""));
    return poem;
}

std::vector<PoemListEntry> PoemStore::ListPoems() {
    Refresh();
    std::vector<PoemListEntry> rows;
    rows.reserve(rows_.size());
    for (std::size_t row = 0; row < rows_.size(); ++row)
        rows.push_back({id(row), title(row)});
    return rows;
}

std::shared_ptr<const ProfileText> PoemStore::Index() {
    Refresh();
    return index_;
}

PoemRecord PoemStore::LoadPoem(std::string_view id) {
    Refresh();
    PoemRecord poem;
    if (const auto row = rowOf(id)) {
        poem = fields(*row);
    } else {
        poem.id = CanonicalPoemId(id).value_or(0);
        poem.title = kMissingTitle;
    }
    poem.text = LoadText(id);
    return poem;
}

std::string PoemStore::LoadText(std::string_view id) const {
    std::string text = rawText(id);
    codePage_.MakeUtf8(text);
    return text;
}

std::string PoemStore::rawText(std::string_view id) const {
    const auto file = poemFile(id);
    return file ? ReadPoemText(*file) : std::string();
}

std::string ReadPoemText(const FileRef& file) {
    return NormaliseLineBreaks(ReadPoemFile(file).value_or(std::string()));
}

std::optional<std::string> ReadPoemFile(const FileRef& file) {
    FileReader reader(file);
    if (reader.error() == std::errc::no_such_file_or_directory)
        return std::nullopt;
    const auto cannotOpen = [&](const std::string& why) {
        return StorageError("Cannot open file " + Quoted(file.path()) + ". " + why);
    };
    if (reader.error())
        throw cannotOpen(DescribeError(reader.error()));
    // A file of this size is no poem; reading it would only stall the window
    // (or, for an export, fill the memory).
    const auto size = static_cast<std::uintmax_t>(std::max<long long>(0, reader.identity().size));
    if (size > kLargestPoemBytes)
        throw cannotOpen("It holds " + std::to_string(size) + " bytes; a poem's text may hold " +
                         std::to_string(kLargestPoemBytes) + ".");
    std::string bytes;
    while (bytes.size() <= kLargestPoemBytes && reader.ReadSome(bytes, 1 << 16)) {
    }
    if (reader.error())
        throw cannotOpen(DescribeError(reader.error()));
    if (bytes.size() > kLargestPoemBytes)
        throw cannotOpen("It holds more than " + std::to_string(kLargestPoemBytes) +
                         " bytes; a poem's text may hold no more.");
    if (const auto why = TooLargeToShow(bytes))
        throw cannotOpen(*why);
    return bytes;
}

void PoemStore::RemoveStaleTemporaryFiles() const {
    stanzel::RemoveStaleTemporaryFiles(FileRef(folder_, "."));
    stanzel::RemoveStaleTemporaryFiles(poemsFolder());
}

std::string PoemStore::unableToWrite() const {
    return "Unable to write to " + indexFile().path().string();
}

std::int32_t PoemStore::newId() const {
    // The counter lives in the settings file and the ids in the index; when
    // the two disagree (a settings file lost or restored from a backup),
    // a new poem must still never take the place of a stored one.
    std::int32_t next = std::max<std::int32_t>(autoid_, 1);
    if (largestId_ >= next)
        next = largestId_ == kLargestId ? kLargestId : largestId_ + 1;
    // A text file no index lists yet is some poem's all the same: one a
    // save killed before its index was replaced, or one another computer's
    // sync has brought ahead of the index that lists it.
    while (next < kLargestId && FileIdentity::Now(*poemFile(FormatInt32(next))).exists)
        ++next;
    if (next == kLargestId && (index_->find(FormatInt32(kLargestId)) ||
                               FileIdentity::Now(*poemFile(FormatInt32(next))).exists))
        throw StorageError("No id is left for a new poem in " + Quoted(indexFile().path()) + ".");
    return next;
}

void PoemStore::apply(const ProfileText::Edit& edit, std::string_view id) {
    if (edit.empty())
        return;
    decodedTitles_.clear();
    // A list handed out earlier keeps the text it points into.
    if (index_.use_count() > 1)
        index_ = std::make_shared<ProfileText>(*index_);
    const auto row = rowOf(id);
    const std::size_t sections = index_->sectionCount();
    const bool removing = edit.front().text.empty();
    using Change = PoemListObserver::Change;
    if (row && removing) {
        notify(true, Change::Remove, *row, *row);
        index_->Apply(edit);
        largestId_ = 0;
        rows_ = rowsFrom(0);
        notify(false, Change::Remove, *row, *row);
    } else if (row) {
        index_->Apply(edit);
        notify(true, Change::Update, *row, *row);
        notify(false, Change::Update, *row, *row);
    } else {
        index_->Apply(edit);
        addRows(sections);
    }
}

void PoemStore::prepareIndex(FileReplacement& replacement, const ProfileText::Edit& edit,
                             IniFile* settings) const {
    // Deleting a poem the index does not list leaves the index alone.
    if (!edit.empty() &&
        replacement.Prepare(indexFile(), index_->EditedPieces(edit), &index_->bytes()))
        throw StorageError(unableToWrite());
    replacement.ExpectUnchanged(indexFile(), identity_);
    if (!settings)
        return;
    WriteSetting(*settings, setting::autoid, autoid_);
    // The held settings were read before the code page may have been
    // detected and written; replacing them must not forget it.
    if (const auto detected = codePage_.toRemember())
        WriteSetting(*settings, setting::codePage, *detected);
    if (replacement.Prepare(settings->file(), settings->Contents(), settings->HeldOriginal()))
        throw StorageError(settings->UnableToWrite());
}

std::int32_t PoemStore::SavePoem(std::int32_t currentPoemId, std::string_view title,
                                 std::string_view poet, std::string_view date,
                                 std::string_view text, IniFile* settings,
                                 const FileIdentity* textAsSeen) {
    if (currentPoemId < 0)
        throw std::invalid_argument("A stored poem's id is positive");
    // What could not be loaded again is never stored.
    if (const auto why = TooLargeToShow(text))
        throw StorageError("Cannot save the poem " + Quoted(std::string(title)) + ". " + *why);
    const std::int32_t counter = autoid_;
    for (FreshStarts starts; starts.another();) {
        Refresh();
        // A failed save keeps the counter it took a new id from.
        autoid_ = counter;
        std::int32_t id = currentPoemId;
        if (id == 0) {
            id = newId();
            autoid_ = id == kLargestId ? kLargestId : id + 1;
        }
        if (readError_)
            throw StorageError(unableToWrite());
        const std::string idText = FormatInt32(id);
        const ProfileText::Entry entries[] = {
            {kTitleKey, title}, {kPoetKey, poet}, {kDateKey, date}};
        const auto edit = index_->WriteEdit(idText, entries);

        // Every file is written in full beside its target before any is
        // replaced; see FileReplacement for the order that keeps every listed
        // poem's text readable.
        FileReplacement replacement;
        prepareIndex(replacement, edit, settings);
        ::mkdirat(folder_->fd(), "poems", 0777);
        const auto file = *poemFile(idText);
        if (const auto error = replacement.Prepare(file, text))
            throw StorageError(CannotCreate(file.path(), error));
        // A new poem's text must not appear meanwhile either: another
        // computer's poem of that id would be replaced.
        if (currentPoemId == 0)
            replacement.ExpectUnchanged(file, FileIdentity{});
        else if (textAsSeen)
            replacement.ExpectUnchanged(file, *textAsSeen);
        const auto failure = replacement.Commit();
        if (failure && failure->changedMeanwhile && failure->file.name == file.name &&
            currentPoemId != 0)
            throw PoemChangedElsewhere("The text of poem " + idText + " changed elsewhere.");
        if (failure && failure->changedMeanwhile)
            continue; // another program's index: the change goes into it
        if (failure) {
            if (failure->path == file.path())
                throw StorageError(CannotCreate(file.path(), failure->error));
            throw StorageError(failure->path == indexFile().path() ? unableToWrite()
                                                                   : settings->UnableToWrite());
        }
        identity_ = replacement.PlacedIdentity(indexFile());
        apply(edit, idText);
        return id;
    }
    throw StorageError(unableToWrite());
}

std::vector<std::int32_t> PoemStore::AddPoems(std::span<const PoemRecord> poems,
                                              IniFile* settings) {
    const std::int32_t counter = autoid_;
    for (FreshStarts starts; starts.another();) {
        Refresh();
        autoid_ = counter;
        if (readError_)
            throw StorageError(unableToWrite());
        std::vector<std::int32_t> ids;
        std::vector<std::string> names;
        std::string added;
        if (const std::string_view text = index_->bytes();
            !text.empty() && text.back() != '\n' && text.back() != '\r')
            added += "\r\n";
        const auto taken = [&](std::int32_t id) {
            return index_->find(FormatInt32(id)) ||
                   std::find(ids.begin(), ids.end(), id) != ids.end();
        };
        std::int32_t largestKept = 0;
        for (const PoemRecord& poem : poems) {
            std::int32_t id = poem.id;
            if (id <= 0 || taken(id)) {
                do {
                    id = newId();
                    autoid_ = id == kLargestId ? kLargestId : id + 1;
                } while (taken(id) && id != kLargestId);
                if (taken(id))
                    throw StorageError("No id is left for a new poem in " +
                                       Quoted(indexFile().path()) + ".");
                names.push_back(FormatInt32(id));
            } else {
                largestKept = std::max(largestKept, id);
                names.emplace_back();
            }
            ids.push_back(id);
            added.append("[").append(FormatInt32(id)).append("]\r\n");
            for (const auto& [key, value] : {std::pair{kTitleKey, std::string_view(poem.title)},
                                             std::pair{kPoetKey, std::string_view(poem.poet)},
                                             std::pair{kDateKey, std::string_view(poem.date)}})
                added.append(FormatIniEntry(key, value)).append("\r\n");
        }
        if (ids.empty())
            return ids;
        if (largestKept >= autoid_)
            autoid_ = largestKept == kLargestId ? kLargestId : largestKept + 1;
        const std::size_t end = index_->bytes().size();
        const ProfileText::Edit edit{{end, end, std::move(added)}};

        FileReplacement replacement;
        prepareIndex(replacement, edit, settings);
        ::mkdirat(folder_->fd(), "poems", 0777);
        for (std::size_t i = 0; i < poems.size(); ++i) {
            if (names[i].empty())
                continue;
            const auto file = *poemFile(names[i]);
            if (const auto error = replacement.Prepare(file, poems[i].text))
                throw StorageError(CannotCreate(file.path(), error));
            replacement.ExpectUnchanged(file, FileIdentity{});
        }
        const auto failure = replacement.Commit();
        if (failure && failure->changedMeanwhile)
            continue;
        if (failure) {
            if (failure->path == indexFile().path())
                throw StorageError(unableToWrite());
            if (settings && failure->path == settings->path())
                throw StorageError(settings->UnableToWrite());
            throw StorageError(CannotCreate(failure->path, failure->error));
        }
        identity_ = replacement.PlacedIdentity(indexFile());
        apply(edit, FormatInt32(ids.front()));
        return ids;
    }
    throw StorageError(unableToWrite());
}

void PoemStore::DeletePoem(std::string_view id) {
    for (FreshStarts starts; starts.another();) {
        Refresh();
        if (readError_)
            throw StorageError(unableToWrite());
        const auto edit = index_->RemoveEdit(id);
        FileReplacement replacement;
        prepareIndex(replacement, edit, nullptr);
        // The text goes last: a listed poem always has its text.
        if (const auto file = poemFile(id))
            replacement.Remove(*file);
        const auto failure = replacement.Commit();
        if (failure && failure->changedMeanwhile)
            continue;
        if (failure) {
            if (failure->removing)
                throw StorageError("Cannot delete file " + Quoted(failure->path) + ". " +
                                   DescribeError(failure->error));
            throw StorageError(unableToWrite());
        }
        identity_ = replacement.PlacedIdentity(indexFile());
        apply(edit, id);
        return;
    }
    throw StorageError(unableToWrite());
}

} // namespace stanzel
