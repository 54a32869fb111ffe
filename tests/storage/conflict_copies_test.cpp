// The copies a sync tool keeps when two computers changed the collection
// while apart: what only a copy holds comes back once, nothing either side
// wrote is lost, and the copies themselves are never touched.

#include "storage/atomic_file.h"
#include "storage/conflict_copies.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "test_dir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

struct NameRow {
    const char* name;
    const char* extension;
    const char* stem; // nullptr: not a conflict copy
    const char* mark;
};

TEST(ConflictCopies, NamesOfTheSyncTools) {
    const NameRow rows[] = {
        {"poems.sync-conflict-20261208-101500-ABCDEFG.dmp", ".dmp", "poems",
         "sync-conflict-20261208-101500-ABCDEFG"},
        {"poems (conflicted copy 2026-12-08 101500).dmp", ".dmp", "poems",
         "conflicted copy 2026-12-08 101500"},
        {"poems (Laptop's conflicted copy 2026-12-08).dmp", ".dmp", "poems",
         "Laptop's conflicted copy 2026-12-08"},
        {"7.sync-conflict-20261208-101502-ABCDEFG.poem", ".poem", "7",
         "sync-conflict-20261208-101502-ABCDEFG"},
        {"12 (Laptop's conflicted copy 2026-12-08).poem", ".poem", "12",
         "Laptop's conflicted copy 2026-12-08"},
        {"poems.dmp", ".dmp", nullptr, nullptr},
        {"poems (1).dmp", ".dmp", nullptr, nullptr},
        {".sync-conflict-20261208-101500-ABCDEFG.dmp", ".dmp", nullptr, nullptr},
        {"poems (conflicted copy 2026-12-08).txt", ".dmp", nullptr, nullptr},
        {"poems.sync-conflict-x\n.dmp", ".dmp", nullptr, nullptr},
        {"7.poem", ".poem", nullptr, nullptr},
    };
    for (const NameRow& row : rows) {
        const auto parsed = ParseConflictName(row.name, row.extension);
        ASSERT_EQ(parsed.has_value(), row.stem != nullptr) << row.name;
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->stem, row.stem) << row.name;
        EXPECT_EQ(parsed->mark, row.mark) << row.name;
    }
}

std::string Section(int id, const std::string& title) {
    return "[" + std::to_string(id) + "]\r\ntitle=" + title + "\r\npoet=P\r\ndate=D\r\n";
}

// A collection with its store and drafts, merged as the window merges it.
struct Collection {
    TestDir dir;
    std::unique_ptr<PoemStore> store;
    std::unique_ptr<DraftStore> drafts;

    explicit Collection(const std::string& index) {
        fs::create_directories(dir / "poems");
        WriteBytes(dir / "poems.dmp", index);
    }
    fs::path operator/(const std::string& name) const { return dir / name; }
    ConflictMerge Merge() {
        if (!store) {
            store = std::make_unique<PoemStore>(dir.path());
            drafts = std::make_unique<DraftStore>(dir.path());
        }
        IniFile settings(SettingsFile(store->folder()));
        return MergeConflictCopies(*store, *drafts, settings, "2026-12-09 10:00:00");
    }
    std::vector<Draft> Drafts() const { return DraftStore(dir.path()).List(); }
};

struct MergeRow {
    const char* name;
    std::string index;
    std::vector<std::pair<std::string, std::string>> files; // beside the index
    std::string expectedIndex;
    std::vector<std::pair<std::string, std::string>> expectedTexts;
    std::vector<std::string> draftTexts;
};

TEST(ConflictCopies, WhatOnlyACopyHoldsComesBackOnce) {
    const std::string ab = Section(1, "A") + Section(2, "Mine");
    const MergeRow rows[] = {
        {"a poem whose id the index lacks keeps its id and its text file",
         Section(1, "A"),
         {{"poems.sync-conflict-20261208-101500-LAPTOP1.dmp", Section(1, "A") + Section(2, "B")},
          {"poems/2.poem", "two\nlines"}},
         Section(1, "A") + Section(2, "B"),
         {{"2.poem", "two\nlines"}},
         {}},
        {"a poem under an id taken here comes back under a new one with its text copy",
         ab,
         {{"poems (Laptop's conflicted copy 2026-12-08).dmp",
           Section(1, "A") + Section(2, "Theirs")},
          {"poems/2.poem", "mine"},
          {"poems/2 (Laptop's conflicted copy 2026-12-08).poem", "theirs"}},
         ab + Section(3, "Theirs"),
         {{"2.poem", "mine"}, {"3.poem", "theirs"}},
         {}},
        {"fields changed on both sides: the shared text goes with the other version",
         Section(1, "Edited here"),
         {{"poems (conflicted copy 2026-12-08 101500).dmp", Section(1, "Edited there")},
          {"poems/1.poem", "shared"}},
         Section(1, "Edited here") + Section(2, "Edited there"),
         {{"1.poem", "shared"}, {"2.poem", "shared"}},
         {}},
        {"a text copy alone is kept as a draft of its poem",
         ab,
         {{"poems/2.poem", "mine"},
          {"poems/2.sync-conflict-20261208-101502-LAPTOP1.poem", "theirs\r\nsecond"}},
         ab,
         {{"2.poem", "mine"}},
         {"theirs\r\nsecond"}},
        {"poems the index holds are left alone, under any id",
         ab + Section(5, "B"),
         {{"poems.sync-conflict-20261208-101500-LAPTOP1.dmp",
           Section(1, "A") + Section(2, "B") + "[x]\r\ntitle=not a poem\r\n"}},
         ab + Section(5, "B"),
         {},
         {}},
    };
    for (const MergeRow& row : rows) {
        SCOPED_TRACE(row.name);
        Collection collection(row.index);
        for (const auto& [name, bytes] : row.files)
            WriteBytes(collection / name, bytes);
        collection.Merge();
        EXPECT_EQ(ReadBytes(collection / "poems.dmp"), row.expectedIndex);
        for (const auto& [name, bytes] : row.expectedTexts)
            EXPECT_EQ(ReadBytes(collection / ("poems/" + name)), bytes) << name;
        std::vector<std::string> drafts;
        for (const Draft& draft : collection.Drafts()) {
            drafts.push_back(draft.poem.text);
            EXPECT_TRUE(draft.elsewhere);
        }
        EXPECT_EQ(drafts, row.draftTexts);
        for (const auto& [name, bytes] : row.files)
            EXPECT_EQ(ReadBytes(collection / name), bytes) << "a copy was changed: " << name;

        // A second look, and one by a fresh run, change nothing.
        const std::string settings = ReadBytes(collection / "settings.ini");
        const auto again = collection.Merge();
        EXPECT_EQ(again.poems + again.drafts, 0u);
        collection.store.reset();
        collection.Merge();
        EXPECT_EQ(ReadBytes(collection / "poems.dmp"), row.expectedIndex);
        EXPECT_EQ(collection.Drafts().size(), row.draftTexts.size());
        EXPECT_EQ(ReadBytes(collection / "settings.ini"), settings);
    }
}

// A poem that came back and was then deleted stays deleted; a copy that
// arrives later is taken in on its own.
TEST(ConflictCopies, ACopyIsTakenInOnlyOnce) {
    Collection collection(Section(1, "A"));
    WriteBytes(collection / "poems.sync-conflict-20261208-101500-LAPTOP1.dmp",
               Section(1, "A") + Section(2, "B"));
    EXPECT_EQ(collection.Merge().poems, 1u);
    collection.store->DeletePoem("2");
    EXPECT_EQ(collection.Merge().poems, 0u);
    WriteBytes(collection / "poems.sync-conflict-20261209-080000-LAPTOP1.dmp",
               Section(1, "A") + Section(4, "C"));
    EXPECT_EQ(collection.Merge().poems, 1u);
    EXPECT_EQ(ReadBytes(collection / "poems.dmp"), Section(1, "A") + Section(4, "C"));
    EXPECT_GE(collection.store->autoid(), 5);
    // A new poem never takes an id a copy brought back.
    EXPECT_EQ(collection.store->SavePoem(0, "New", "", "", "new"), 5);
}

// What is no list of poems is refused or yields nothing; thousands of poems
// come back in one write.
TEST(ConflictCopies, BadAndLargeCopies) {
    {
        Collection collection(Section(1, "A"));
        fs::create_directory(collection / "poems.sync-conflict-20261208-101500-LAPTOP1.dmp");
        WriteBytes(collection / "poems (conflicted copy 2026-12-08 101500).dmp",
                   std::string("\x00\x01\xff[\x00]\r\n\x89PNG", 11));
        ::mkfifo((collection / "poems/3.sync-conflict-20261208-101500-LAPTOP1.poem").c_str(), 0600);
        const auto merge = collection.Merge();
        EXPECT_EQ(merge.poems, 0u);
        EXPECT_EQ(merge.refused.size(), 2u);
        EXPECT_EQ(ReadBytes(collection / "poems.dmp"), Section(1, "A"));
        EXPECT_TRUE(collection.Drafts().empty());
        // What was refused is looked at again; what held nothing is not.
        EXPECT_EQ(collection.Merge().refused.size(), 2u);
    }
    {
        Collection collection(Section(1, "A"));
        std::string copy = Section(1, "A");
        for (int id = 2; id <= 5001; ++id)
            copy += Section(id, "Poem " + std::to_string(id));
        WriteBytes(collection / "poems.sync-conflict-20261208-101500-LAPTOP1.dmp", copy);
        EXPECT_EQ(collection.Merge().poems, 5000u);
        EXPECT_EQ(ReadBytes(collection / "poems.dmp"), copy);
        EXPECT_EQ(collection.store->size(), 5001u);
    }
}

// A write that fails at any step (a full disk, a file that may not be
// replaced) leaves every file as it was and remembers nothing, so the next
// look takes the copies in.
TEST(ConflictCopies, AFailedWriteKeepsTheCopiesForLater) {
    for (const FileStep step :
         {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
        for (int occurrence = 1; occurrence <= 3; ++occurrence) {
            SCOPED_TRACE(static_cast<int>(step) * 10 + occurrence);
            Collection collection(Section(1, "A") + Section(2, "Mine"));
            WriteBytes(collection / "poems.sync-conflict-20261208-101500-LAPTOP1.dmp",
                       Section(1, "A") + Section(2, "Theirs"));
            WriteBytes(collection / "poems/2.poem", "mine");
            WriteBytes(collection / "poems/2.sync-conflict-20261208-101500-LAPTOP1.poem", "theirs");
            file_faults::Arm(step, occurrence, ENOSPC);
            try {
                collection.Merge();
            } catch (const StorageError&) {
            }
            const bool fired = file_faults::Fired();
            file_faults::Disarm();
            if (!fired)
                continue;
            EXPECT_EQ(ReadBytes(collection / "poems.dmp"), Section(1, "A") + Section(2, "Mine"));
            EXPECT_FALSE(fs::exists(collection / "poems/3.poem"));
            EXPECT_FALSE(fs::exists(collection / "settings.ini"));
            EXPECT_EQ(collection.Merge().poems, 1u);
            // The failed write used up its id, as a failed save does.
            ASSERT_EQ(collection.store->size(), 3u);
            EXPECT_EQ(collection.store->fields(2).title, "Theirs");
            EXPECT_EQ(collection.store->LoadText(collection.store->id(2)), "theirs");
        }
    }
}

} // namespace
} // namespace stanzel
