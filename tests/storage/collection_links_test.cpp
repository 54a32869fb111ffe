#include "export/collection_export.h"
#include "file_faults.h"
#include "search/engine_list.h"
#include "storage/atomic_file.h"
#include "storage/draft_store.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"
#include "test_dir.h"

#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

// A collection beside a folder that is not the collection's: whatever a link
// inside the collection does, the other folder's bytes stay as they are.
class CollectionWithLinks : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(outside / "drafts");
        WriteBytes(outside / "secret.txt", "not a poem\r\n");
        WriteBytes(outside / "2.poem", "someone else's file");
        WriteBytes(outside / "drafts" / "1.draft", "[draft]\r\nsomeone else's\r\n");
        fs::create_directories(home / "poems");
        WriteBytes(home / "poems.dmp", "[1]\r\ntitle=Mine\r\n[2]\r\ntitle=Linked\r\n");
        WriteBytes(home / "poems" / "1.poem", "my own text");
        before = testing::FolderSnapshot(outside);
    }
    void TearDown() override {
        EXPECT_EQ(testing::FolderSnapshot(outside), before) << "a file outside changed";
    }

    static void Link(const fs::path& target, const fs::path& link) {
        fs::remove_all(link);
        fs::create_symlink(target, link);
    }
    std::string failureOf(const std::function<void()>& command) {
        try {
            command();
        } catch (const StorageError& error) {
            return error.what();
        }
        return {};
    }

    TestDir dir;
    fs::path home = dir / "collection";
    fs::path outside = dir / "elsewhere";
    std::map<std::string, std::string> before;
};

TEST_F(CollectionWithLinks, APoemsTextThatIsALinkCannotBeOpened) {
    Link(outside / "2.poem", home / "poems" / "2.poem");
    PoemStore store(home);
    const std::string shown = failureOf([&] { store.LoadPoem("2"); });
    EXPECT_NE(shown.find("Cannot open file"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Not a regular file"), std::string::npos) << shown;
    EXPECT_NE(failureOf([&] { ReadPoemFile(*store.poemFile("2")); }), "");
    EXPECT_EQ(store.LoadPoem("1").text, "my own text");
}

TEST_F(CollectionWithLinks, ExportAllNeverCopiesWhatALinkNames) {
    Link(outside / "2.poem", home / "poems" / "2.poem");
    PoemStore store(home);
    std::string shown;
    try {
        BuildCollectionDocument(store, ExportFormat::Text, {}, {});
    } catch (const StorageError& error) {
        shown = error.what();
    }
    EXPECT_NE(shown.find("Not a regular file"), std::string::npos) << shown;
}

TEST_F(CollectionWithLinks, ASaveReplacesTheLinkItself) {
    Link(outside / "2.poem", home / "poems" / "2.poem");
    PoemStore store(home);
    const FileIdentity seen = FileIdentity::Now(*store.poemFile("2"));
    EXPECT_TRUE(seen.exists) << "a link counts as a file in the way";
    store.SavePoem(2, "Linked", "", "", "my text now", nullptr, &seen);
    EXPECT_FALSE(fs::is_symlink(home / "poems" / "2.poem"));
    EXPECT_EQ(ReadBytes(home / "poems" / "2.poem"), "my text now");
}

TEST_F(CollectionWithLinks, ANewPoemNeverTakesTheNameOfALink) {
    WriteBytes(home / "poems.dmp", "[1]\r\ntitle=Mine\r\n");
    Link(outside / "2.poem", home / "poems" / "2.poem");
    PoemStore store(home);
    EXPECT_EQ(store.SavePoem(0, "New", "", "", "text"), 3);
    EXPECT_TRUE(fs::is_symlink(home / "poems" / "2.poem"));
}

TEST_F(CollectionWithLinks, APoemsFolderThatIsALinkIsNeitherReadNorWritten) {
    fs::remove_all(home / "poems");
    Link(outside, home / "poems");
    PoemStore store(home);
    EXPECT_NE(failureOf([&] { store.LoadPoem("2"); }).find("Not a regular file"),
              std::string::npos);
    EXPECT_NE(failureOf([&] { store.SavePoem(0, "New", "", "", "text"); }), "");
    EXPECT_NE(failureOf([&] { store.SavePoem(2, "Linked", "", "", "text"); }), "");
    EXPECT_NE(failureOf([&] { store.DeletePoem("2"); }), "");
    EXPECT_NE(failureOf([&] {
                  BuildCollectionDocument(store, ExportFormat::Text, {}, {});
              }).find("Not a regular file"),
              std::string::npos);
    // A temporary file of a process long gone, in the other folder.
    WriteBytes(outside / ".2.poem.stanzel-tmp-999999999-1-1", "x");
    before = testing::FolderSnapshot(outside);
    store.RemoveStaleTemporaryFiles();
    EXPECT_EQ(ReadBytes(home / "poems.dmp"), "[1]\r\ntitle=Mine\r\n[2]\r\ntitle=Linked\r\n");
}

TEST_F(CollectionWithLinks, ADraftsFolderThatIsALinkKeepsNoDraft) {
    Link(outside / "drafts", home / "drafts");
    DraftStore drafts(home);
    const auto kept = drafts.Keep({1, "Mine", "", "", "edited"}, "t");
    EXPECT_EQ(kept.error, NotARegularFile());
    EXPECT_TRUE(drafts.List().empty());
    EXPECT_FALSE(drafts.Read(1));
    EXPECT_FALSE(drafts.Remove(1));
    EXPECT_FALSE(drafts.KeepAtClose({1, "Mine", "", "", "edited"}, "t").error == std::error_code());
    EXPECT_FALSE(drafts.TakeKeptAtClose());
}

TEST_F(CollectionWithLinks, ADraftThatIsALinkIsNoDraft) {
    fs::create_directory(home / "drafts");
    Link(outside / "drafts" / "1.draft", home / "drafts" / "1.draft");
    Link(outside / "drafts" / "1.draft", home / "drafts" / "kept-at-close");
    DraftStore drafts(home);
    EXPECT_TRUE(drafts.List().empty());
    EXPECT_FALSE(drafts.TakeKeptAtClose());
    const auto kept = drafts.Keep({1, "Mine", "", "", "edited"}, "t");
    ASSERT_FALSE(kept.error) << kept.error.message();
    EXPECT_EQ(kept.number, 2u) << "the name a link takes is never written";
    EXPECT_TRUE(fs::is_symlink(home / "drafts" / "1.draft"));
}

TEST_F(CollectionWithLinks, AnIndexThatIsALinkIsReadThroughItAndReplacedBySave) {
    WriteBytes(outside / "poems.dmp", "[1]\r\ntitle=Theirs\r\n");
    before = testing::FolderSnapshot(outside);
    Link(outside / "poems.dmp", home / "poems.dmp");
    PoemStore store(home);
    EXPECT_EQ(store.LoadPoem("1").title, "Theirs");
    EXPECT_EQ(store.SavePoem(1, "Mine", "", "", "my own text"), 1);
    EXPECT_FALSE(fs::is_symlink(home / "poems.dmp"));
    EXPECT_EQ(ReadBytes(home / "poems.dmp"), "[1]\r\ntitle=Mine\r\npoet=\r\ndate=\r\n");
}

TEST_F(CollectionWithLinks, TheEngineEditorMakesNothingWhereADanglingLinkPoints) {
    Link(outside / "search.egs", home / "search.egs");
    EXPECT_FALSE(OpenEngineEditor(home));
    EXPECT_FALSE(fs::exists(outside / "search.egs"));
    SaveEngineEditor(home, "Web|https://example.org/?q=");
    EXPECT_FALSE(fs::is_symlink(home / "search.egs"));
    EXPECT_FALSE(fs::exists(outside / "search.egs"));
}

TEST_F(CollectionWithLinks, AWriteToALinkedFileReplacesTheLink) {
    Link(outside / "secret.txt", home / "settings.ini");
    ASSERT_FALSE(ReplaceFileAtomically(home / "settings.ini", "[Save]\r\nautoid=3\r\n"));
    EXPECT_FALSE(fs::is_symlink(home / "settings.ini"));
    EXPECT_EQ(OverwriteFileInPlace(FileRef(home / "poems" / "9.poem"), "x"),
              std::errc::no_such_file_or_directory);
    Link(outside / "secret.txt", home / "poems" / "9.poem");
    EXPECT_EQ(OverwriteFileInPlace(FileRef(Folder::Open(home), "poems/9.poem"), "x"),
              NotARegularFile());
}

} // namespace
} // namespace stanzel
