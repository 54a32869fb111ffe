#include "storage/conflict_copies.h"

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "storage/storage_error.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace stanzel {

namespace {

constexpr std::string_view kIndexStem = "poems";
constexpr std::string_view kIndexExtension = ".dmp";
constexpr std::string_view kTextExtension = ".poem";
constexpr std::string_view kSyncthingMark = ".sync-conflict-";
constexpr std::string_view kCopyMark = "conflicted copy";
// The remembered names are kept in one value: no file name holds a slash.
constexpr char kNameSeparator = '/';
// Far beyond the index of a million poems; a larger file is no index.
constexpr long long kLargestIndexCopy = 1LL << 30;

// The names in a folder that `keep` accepts, read all at once.
std::vector<std::string> NamesIn(const FileRef& folder, FolderLook::Keep keep) {
    FolderLook look(folder, keep);
    while (look.LookSome(4096)) {
    }
    return look.kept();
}

std::string ContentKey(const PoemRecord& poem) {
    std::string key;
    for (const std::string* field : {&poem.title, &poem.poet, &poem.date})
        key.append(std::to_string(field->size())).append(":").append(*field);
    return key;
}

bool SameFields(const PoemRecord& a, const PoemRecord& b) {
    return a.title == b.title && a.poet == b.poet && a.date == b.date;
}

// The device that made a conflict copy: the last word of Syncthing's mark,
// the whole mark of the others.
std::string_view Maker(std::string_view mark) {
    if (mark.starts_with(kSyncthingMark.substr(1)))
        return mark.substr(mark.rfind('-') + 1);
    return mark;
}

struct TextCopy {
    std::string name; // in "poems"
    std::int32_t id;
    std::string_view mark;
    FileIdentity identity;
};

} // namespace

std::optional<ConflictName> ParseConflictName(std::string_view name, std::string_view extension) {
    if (!name.ends_with(extension) || name.size() <= extension.size())
        return std::nullopt;
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return std::nullopt;
    const std::string_view base = name.substr(0, name.size() - extension.size());
    if (const auto at = base.find(kSyncthingMark); at != std::string_view::npos && at > 0)
        return ConflictName{base.substr(0, at), base.substr(at + 1)};
    const auto open = base.find(" (");
    if (open == std::string_view::npos || open == 0 || !base.ends_with(')'))
        return std::nullopt;
    const std::string_view mark = base.substr(open + 2, base.size() - open - 3);
    if (mark.find(kCopyMark) == std::string_view::npos)
        return std::nullopt;
    return ConflictName{base.substr(0, open), mark};
}

bool IsIndexConflictCopy(std::string_view name) {
    const auto parsed = ParseConflictName(name, kIndexExtension);
    return parsed && parsed->stem == kIndexStem;
}

bool IsTextConflictCopy(std::string_view name) {
    // Most names are "<id>.poem": they fail at once.
    if (name.find("conflict") == std::string_view::npos)
        return false;
    const auto parsed = ParseConflictName(name, kTextExtension);
    return parsed && CanonicalPoemId(parsed->stem);
}

ConflictMerge MergeConflictCopies(PoemStore& store, DraftStore& drafts, IniFile& settings,
                                  std::string_view time) {
    const ConflictCopyNames names{NamesIn(FileRef(store.folder(), "."), IsIndexConflictCopy),
                                  NamesIn(store.poemsFolder(), IsTextConflictCopy)};
    return MergeConflictCopies(store, drafts, settings, time, names);
}

ConflictMerge MergeConflictCopies(PoemStore& store, DraftStore& drafts, IniFile& settings,
                                  std::string_view time, const ConflictCopyNames& names) {
    ConflictMerge merge;
    settings.HoldWrites();
    std::set<std::string, std::less<>> remembered;
    {
        const std::string list = ReadSetting(settings, setting::conflictCopies);
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = std::min(list.find(kNameSeparator, at), list.size());
            if (end > at)
                remembered.emplace(list.substr(at, end - at));
            at = end + 1;
        }
    }
    std::vector<TextCopy> textCopies;
    for (const std::string& name : names.texts) {
        // The mark points into `names`, which outlives the merge.
        const auto parsed = ParseConflictName(name, kTextExtension);
        if (const auto id = parsed ? CanonicalPoemId(parsed->stem) : std::nullopt)
            textCopies.push_back({name, *id, parsed->mark,
                                  FileIdentity::Now(FileRef(store.folder(), "poems/" + name))});
    }

    // What the settings file will remember: the copies still there that
    // were taken in before, and those taken in now.
    std::vector<std::string> taken;
    const auto isNew = [&](const std::string& name) {
        if (remembered.count(name)) {
            taken.push_back(name);
            return false;
        }
        return true;
    };
    std::vector<std::string> newIndexCopies;
    for (const std::string& name : names.index)
        if (isNew(name))
            newIndexCopies.push_back(name);
    std::vector<const TextCopy*> newTextCopies;
    for (const TextCopy& copy : textCopies)
        if (isNew(copy.name))
            newTextCopies.push_back(&copy);
    if (newIndexCopies.empty() && newTextCopies.empty())
        return merge;

    store.Refresh();
    std::set<std::string> inIndex; // the fields of every poem, made when first needed
    const auto holds = [&](const PoemRecord& poem) {
        if (inIndex.empty())
            for (std::size_t row = 0; row < store.size(); ++row)
                inIndex.insert(ContentKey(store.fields(row)));
        return inIndex.count(ContentKey(poem)) > 0;
    };
    std::set<const TextCopy*> textsUsed;
    // The text copy that most likely holds the text of the index copy's
    // poem: one by the same device, else the newest.
    const auto textCopyFor = [&](std::int32_t id, std::string_view mark) -> const TextCopy* {
        const TextCopy* best = nullptr;
        for (const TextCopy* copy : newTextCopies) {
            if (copy->id != id || textsUsed.count(copy))
                continue;
            const auto rank = [&](const TextCopy* c) {
                return std::pair(Maker(c->mark) == Maker(mark), c->identity.modifiedSeconds);
            };
            if (!best || rank(copy) > rank(best))
                best = copy;
        }
        return best;
    };
    const auto readText = [&](const FileRef& file) -> std::optional<std::string> {
        try {
            return ReadPoemText(file);
        } catch (const StorageError& error) {
            merge.refused.push_back(file.name + ": " + error.what());
            return std::nullopt;
        }
    };

    std::vector<PoemRecord> returning;
    for (const std::string& name : newIndexCopies) {
        const FileRef file(store.folder(), name);
        if (FileIdentity::Now(file).size > kLargestIndexCopy) {
            merge.refused.push_back(name + ": it is too large to be a list of poems.");
            continue;
        }
        FileContents contents = ReadWholeFile(file);
        if (contents.error) {
            merge.refused.push_back(name + ": " + DescribeError(contents.error));
            continue;
        }
        const std::string_view mark = ParseConflictName(name, kIndexExtension)->mark;
        ProfileText copy(std::move(contents.bytes));
        bool complete = true;
        for (std::size_t i = 0; i < copy.sectionCount(); ++i) {
            const auto id = CanonicalPoemId(copy.name(i));
            if (!copy.section(i).firstOfName || !id)
                continue;
            // Written back as the copy holds them; told apart as the store
            // reads them, in the collection's code page.
            PoemRecord poem;
            poem.title = copy.valueOr(i, "title", "def");
            poem.poet = copy.valueOr(i, "poet", "");
            poem.date = copy.valueOr(i, "date", "");
            PoemRecord shown;
            shown.title = store.AsUtf8(poem.title);
            shown.poet = store.AsUtf8(poem.poet);
            shown.date = store.AsUtf8(poem.date);
            const auto row = store.rowOf(copy.name(i));
            if ((row && SameFields(store.fields(*row), shown)) || holds(shown))
                continue;
            std::optional<std::string> text;
            if (!row) {
                // Its id is free: its text file, if any, is its own.
                poem.id = *id;
                text = readText(*store.poemFile(copy.name(i)));
            } else if (const TextCopy* other = textCopyFor(*id, mark)) {
                text = readText(FileRef(store.folder(), "poems/" + other->name));
                if (text)
                    textsUsed.insert(other);
            } else {
                // Only the fields changed on both sides: the text is shared.
                text = readText(*store.poemFile(copy.name(i)));
            }
            if (!text) {
                complete = false;
                continue;
            }
            poem.text = std::move(*text);
            inIndex.insert(ContentKey(shown));
            returning.push_back(std::move(poem));
        }
        if (complete)
            taken.push_back(name);
    }

    const std::vector<Draft> kept = newTextCopies.empty() ? std::vector<Draft>() : drafts.List();
    for (const TextCopy* copy : newTextCopies) {
        if (textsUsed.count(copy)) {
            taken.push_back(copy->name);
            continue;
        }
        auto text = readText(FileRef(store.folder(), "poems/" + copy->name));
        if (!text)
            continue;
        PoemRecord poem;
        const std::string id = std::to_string(copy->id);
        if (const auto row = store.rowOf(id))
            poem = store.fields(*row);
        poem.id = copy->id;
        // A draft holds what the editor would show.
        poem.text = store.AsUtf8(*text);
        // A run stopped after keeping the draft and before remembering the
        // copy has kept it already.
        const bool keptBefore = std::any_of(kept.begin(), kept.end(), [&](const Draft& draft) {
            return draft.poem.id == poem.id && draft.poem.text == poem.text;
        });
        if (!keptBefore) {
            if (const auto error = drafts.KeepElsewhere(poem, time).error) {
                merge.refused.push_back(copy->name + ": " + DescribeError(error));
                continue;
            }
            ++merge.drafts;
        }
        taken.push_back(copy->name);
    }

    std::string list;
    for (const std::string& name : taken)
        list.append(list.empty() ? "" : std::string(1, kNameSeparator)).append(name);
    if (returning.empty() && list == ReadSetting(settings, setting::conflictCopies))
        return merge;
    WriteSetting(settings, setting::conflictCopies, list);
    if (returning.empty())
        settings.WriteHeld();
    else
        store.AddPoems(returning, &settings);
    merge.poems = returning.size();
    return merge;
}

} // namespace stanzel
