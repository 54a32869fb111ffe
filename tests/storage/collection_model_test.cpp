// The collection model: the index kept in memory and written by splicing
// the poem's section into the kept text must give the same bytes as
// rewriting the whole file, stay the same as the file, and never drop what
// another program wrote.

#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/odd_indexes.h"
#include "storage/poem_store.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

// Every row as a fresh store reads it from the file, to hold the kept table to.
std::vector<std::string> Rows(PoemStore& store) {
    std::vector<std::string> rows;
    store.Refresh();
    for (std::size_t row = 0; row < store.size(); ++row) {
        const PoemRecord fields = store.fields(row);
        rows.push_back(std::string(store.id(row)) + "|" + fields.title + "|" + fields.poet + "|" +
                       fields.date);
    }
    return rows;
}

// What a hand edit or another system leaves: the shared odd indexes, lone
// CRs, LFs, bytes that are no UTF-8, a first section that is no poem's.
std::vector<std::string> Indexes() {
    std::vector<std::string> indexes(std::begin(testing::kOddIndexes),
                                     std::end(testing::kOddIndexes));
    indexes.push_back("[Save]\r\nautoid=9\r\n[3]\r\ntitle=Three\r\npoet=\r\ndate=\r\n");
    indexes.push_back("[3]\rtitle=v\xE9g\xE9n\rpoet=\xF5\xFB\r[5]\rtitle=\xFF\xFE\r");
    indexes.push_back("[3]\ntitle=a\n[3]\ntitle=twin\n[5]\ntitle=b");
    indexes.push_back(testing::LargeIndex(true));
    return indexes;
}

struct Edit {
    const char* name;
    std::int32_t id; // 0 for a new poem
    bool remove;
};

// Each edit of each index, made by the model and by the whole-file writer:
// byte for byte the same file, and the kept table the same as a fresh read.
TEST(CollectionModel, SpliceWritesWhatTheWholeFileWriterWrites) {
    const Edit edits[] = {{"first poem", 3, false},       {"a twin", 1, false},
                          {"second", 2, false},           {"new poem", 0, false},
                          {"first poem again", 3, false}, {"removed", 2, true},
                          {"removed twin", 1, true},      {"last", 30000, false}};
    for (const std::string& index : Indexes()) {
        for (const Edit& edit : edits) {
            SCOPED_TRACE(std::string(edit.name) + " in " + index.substr(0, 40));
            TestDir model;
            TestDir whole;
            for (const TestDir* dir : {&model, &whole}) {
                fs::create_directory(*dir / "poems");
                WriteBytes(*dir / "poems.dmp", index);
            }
            PoemStore store(model.path());
            store.setAutoid(40000);
            store.Refresh(); // the table made before the edit, as in the window
            IniFile file(whole / "poems.dmp");
            if (edit.remove) {
                store.DeletePoem(std::to_string(edit.id));
                file.RemoveSection(std::to_string(edit.id));
            } else {
                const auto id = store.SavePoem(edit.id, "T\xE9 \"x\"", " poet ", "", "text");
                file.WriteTexts(std::to_string(id),
                                {{"title", "T\xE9 \"x\""}, {"poet", " poet "}, {"date", ""}});
            }
            const std::string written = ReadBytes(model / "poems.dmp");
            ASSERT_TRUE(written == ReadBytes(whole / "poems.dmp"));
            EXPECT_TRUE(store.Index()->bytes() == written) << "the kept text is not the file";
            PoemStore fresh(model.path());
            EXPECT_EQ(Rows(store), Rows(fresh));
        }
    }
}

// Another program (a sync tool) renames a new index in while a save is under
// way, between preparing its files and putting them in place: the save
// starts over on that index, so the other program's poem stays listed and the
// save's change is in.
TEST(CollectionModel, AnIndexRenamedInDuringASaveKeepsBothChanges) {
    for (const std::int32_t saved : {1, 0}) {
        TestDir dir;
        fs::create_directory(dir / "poems");
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n");
        PoemStore store(dir.path());
        store.setAutoid(2);
        ASSERT_EQ(store.ListPoems().size(), 1u);
        file_faults::BeforeRenames([&] {
            const pid_t other = ::fork();
            if (other == 0) {
                WriteBytes(dir / ".sync-tmp", "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n"
                                              "[2]\r\ntitle=From the laptop\r\npoet=\r\ndate=\r\n");
                ::_exit(::rename((dir / ".sync-tmp").c_str(), (dir / "poems.dmp").c_str()));
            }
            int status = 0;
            ::waitpid(other, &status, 0);
        });
        const auto id = store.SavePoem(saved, "Edited here", "", "", "text");
        file_faults::BeforeRenames(nullptr);
        const std::string index = ReadBytes(dir / "poems.dmp");
        EXPECT_NE(index.find("title=From the laptop"), std::string::npos) << index;
        EXPECT_NE(index.find("[" + std::to_string(id) + "]\r\ntitle=Edited here"),
                  std::string::npos)
            << index;
        EXPECT_NE(id, 2) << "the other program's poem taken over";
        EXPECT_EQ(store.rowOf("2").has_value(), true);
        EXPECT_EQ(store.title(*store.rowOf("2")), "From the laptop");
        EXPECT_TRUE(store.Index()->bytes() == index);
    }
}

// A text saved elsewhere between the last look and the rename is never
// replaced: the save is refused whole, and the caller looks again.
TEST(CollectionModel, ASaveNeverReplacesATextThatChangedSinceItWasSeen) {
    TestDir dir;
    fs::create_directories(dir / "poems");
    const std::string index = "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n";
    WriteBytes(dir / "poems.dmp", index);
    WriteBytes(dir / "poems" / "1.poem", "as loaded");
    PoemStore store(dir.path());
    const FileIdentity seen = FileIdentity::Now(*store.poemFile("1"));
    file_faults::BeforeRenames([&] {
        WriteBytes(dir / "poems" / ".1.poem.sync-tmp", "from the laptop");
        fs::rename(dir / "poems" / ".1.poem.sync-tmp", dir / "poems" / "1.poem");
    });
    EXPECT_THROW(store.SavePoem(1, "One, edited", "", "", "edited here", nullptr, &seen),
                 PoemChangedElsewhere);
    file_faults::BeforeRenames(nullptr);
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "from the laptop");
    EXPECT_EQ(ReadBytes(dir / "poems.dmp"), index);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "poems"), fs::directory_iterator()), 1);
    // Looked at again, the save goes ahead.
    const FileIdentity now = FileIdentity::Now(*store.poemFile("1"));
    EXPECT_EQ(store.SavePoem(1, "One, edited", "", "", "edited here", nullptr, &now), 1);
    EXPECT_EQ(ReadBytes(dir / "poems" / "1.poem"), "edited here");
}

// A save that changes only the text leaves the index as it was: an index
// renamed in meanwhile is not taken for the version held, and the next save
// goes into it.
TEST(CollectionModel, AnIndexArrivingDuringATextOnlySaveIsReadBeforeTheNext) {
    TestDir dir;
    fs::create_directories(dir / "poems");
    const std::string index = "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n";
    WriteBytes(dir / "poems.dmp", index);
    PoemStore store(dir.path());
    store.setAutoid(2);
    ASSERT_EQ(store.ListPoems().size(), 1u);
    const std::string theirs = index + "[7]\r\ntitle=Laptop\r\npoet=\r\ndate=\r\n";
    file_faults::BeforeRenames([&] {
        WriteBytes(dir / ".sync-tmp", theirs);
        fs::rename(dir / ".sync-tmp", dir / "poems.dmp");
    });
    // The index check comes after the hook: the save starts over, unchanged.
    EXPECT_EQ(store.SavePoem(1, "One", "", "", "new text"), 1);
    file_faults::BeforeRenames(nullptr);
    WriteBytes(dir / ".sync-tmp", theirs + "[8]\r\ntitle=Later\r\npoet=\r\ndate=\r\n");
    fs::rename(dir / ".sync-tmp", dir / "poems.dmp");
    EXPECT_EQ(store.SavePoem(1, "One, retitled", "", "", "new text"), 1);
    const std::string after = ReadBytes(dir / "poems.dmp");
    EXPECT_NE(after.find("title=Laptop"), std::string::npos) << after;
    EXPECT_NE(after.find("title=Later"), std::string::npos) << after;
    EXPECT_NE(after.find("title=One, retitled"), std::string::npos) << after;
}

// The collection folder moved while the program runs: the save lands in the
// folder where it is now, and nothing appears where it was.
TEST(CollectionModel, AMovedFolderStaysTheCollection) {
    TestDir root;
    fs::create_directories(root / "notebook" / "poems");
    WriteBytes(root / "notebook" / "poems.dmp", "[1]\r\ntitle=One\r\npoet=\r\ndate=\r\n");
    PoemStore store(root / "notebook");
    store.setAutoid(2);
    ASSERT_EQ(store.ListPoems().size(), 1u);
    fs::rename(root / "notebook", root / "moved");
    EXPECT_EQ(store.SavePoem(0, "Two", "", "", "second"), 2);
    EXPECT_FALSE(fs::exists(root / "notebook"));
    EXPECT_EQ(ReadBytes(root / "moved" / "poems" / "2.poem"), "second");
    EXPECT_NE(ReadBytes(root / "moved" / "poems.dmp").find("title=Two"), std::string::npos);
    EXPECT_EQ(store.indexFile().path(), fs::canonical(root / "moved" / "poems.dmp"));
}

// A text file no index lists (a save killed between its renames, a poem a
// sync brought before its index) is never taken over by a new poem.
TEST(CollectionModel, ANewPoemNeverTakesAnUnlistedTextFile) {
    TestDir dir;
    fs::create_directory(dir / "poems");
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n");
    WriteBytes(dir / "poems" / "2.poem", "from the other computer");
    PoemStore store(dir.path());
    EXPECT_EQ(store.SavePoem(0, "New", "", "", "mine"), 3);
    EXPECT_EQ(ReadBytes(dir / "poems" / "2.poem"), "from the other computer");
}

// An index changed in place or replaced by another program is read again at
// the next look; an unchanged one is not.
TEST(CollectionModel, ReadAgainOnlyWhenTheFileChanged) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n");
    PoemStore store(dir.path());
    EXPECT_TRUE(store.Refresh());
    EXPECT_FALSE(store.Refresh());
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Uno\r\n"); // in place, the same size
    EXPECT_TRUE(store.Refresh());
    EXPECT_EQ(store.title(0), "Uno");
    WriteBytes(dir / "new", "[1]\r\ntitle=One\r\n[7]\r\ntitle=Seven\r\n");
    fs::rename(dir / "new", dir / "poems.dmp");
    EXPECT_TRUE(store.Refresh());
    EXPECT_EQ(store.size(), 2u);
    fs::remove(dir / "poems.dmp");
    EXPECT_TRUE(store.Refresh());
    EXPECT_EQ(store.size(), 0u);
}

} // namespace
} // namespace stanzel
