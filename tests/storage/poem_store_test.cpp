#include "export/collection_export.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

class PoemStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(dir / "poems"); }

    std::string index() const { return ReadBytes(dir / "poems.dmp"); }
    std::string poemFile(std::string_view id) const {
        return ReadBytes(dir / "poems" / (std::string(id) + ".poem"));
    }
    bool poemFileExists(std::string_view id) const {
        return std::filesystem::exists(dir / "poems" / (std::string(id) + ".poem"));
    }

    TestDir dir;
    PoemStore store{dir.path()};
};

TEST_F(PoemStoreTest, FirstSaveCreatesIndexAndTextFile) {
    EXPECT_EQ(store.SavePoem(0, "Rain", "Ady", "1906", "Line one\r\nLine two"), 1);
    EXPECT_EQ(store.autoid(), 2);
    EXPECT_EQ(index(), "[1]\r\ntitle=Rain\r\npoet=Ady\r\ndate=1906\r\n");
    EXPECT_EQ(poemFile("1"), "Line one\r\nLine two");
}

TEST_F(PoemStoreTest, SavingAgainRewritesInPlace) {
    const auto id = store.SavePoem(0, "Rain", "Ady", "1906", "a\r\nb\r\n");
    store.SavePoem(0, "Snow", "", "", "s");
    EXPECT_EQ(store.SavePoem(id, "Rain II", "Endre Ady", "", "c"), id);
    EXPECT_EQ(store.autoid(), 3);
    EXPECT_EQ(index(), "[1]\r\ntitle=Rain II\r\npoet=Endre Ady\r\ndate=\r\n"
                       "[2]\r\ntitle=Snow\r\npoet=\r\ndate=\r\n");
    EXPECT_EQ(poemFile("1"), "c");
}

TEST_F(PoemStoreTest, FinalLineBreakKeptExactly) {
    store.SavePoem(0, "a", "", "", "x\r\n");
    store.SavePoem(0, "b", "", "", "x");
    EXPECT_EQ(poemFile("1"), "x\r\n");
    EXPECT_EQ(poemFile("2"), "x");
    EXPECT_EQ(store.LoadPoem("1").text, "x\r\n");
}

TEST_F(PoemStoreTest, ListsInIndexOrderWithDefaultTitle) {
    WriteBytes(dir / "poems.dmp",
               "[7]\r\ntitle=Seven\r\n[2]\r\npoet=Nobody\r\n[10]\r\ntitle=Ten\r\n");
    const auto poems = store.ListPoems();
    ASSERT_EQ(poems.size(), 3u);
    EXPECT_EQ(poems[0].id, "7");
    EXPECT_EQ(poems[1].id, "2");
    EXPECT_EQ(poems[1].title, "def");
    EXPECT_EQ(poems[2].title, "Ten");
    EXPECT_TRUE(PoemStore(dir / "elsewhere").ListPoems().empty());
}

TEST_F(PoemStoreTest, LoadsEntriesAndNormalisedText) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=T\r\n[2]\r\npoet=P\r\ndate=D\r\n");
    WriteBytes(dir / "poems" / "2.poem", "a\nb\rc\n\rd\r\n");
    const auto loaded = store.LoadPoem("2");
    EXPECT_EQ(loaded.id, 2);
    EXPECT_EQ(loaded.poet, "P");
    EXPECT_EQ(loaded.date, "D");
    EXPECT_EQ(loaded.text, "a\r\nb\r\nc\r\nd\r\n");
    const auto bare = store.LoadPoem("1"); // no poet, date or text file
    EXPECT_EQ(bare.poet, "");
    EXPECT_EQ(bare.date, "");
    EXPECT_EQ(bare.text, "");
}

TEST_F(PoemStoreTest, DeletedIdsAreNotGivenOutAgain) {
    store.SavePoem(0, "1", "", "", "t");
    store.SavePoem(0, "2", "", "", "t");
    store.SavePoem(0, "3", "", "", "t");
    store.DeletePoem("3");
    EXPECT_FALSE(poemFileExists("3"));
    EXPECT_EQ(store.SavePoem(0, "4", "", "", "t"), 4);
    EXPECT_EQ(index(), "[1]\r\ntitle=1\r\npoet=\r\ndate=\r\n[2]\r\ntitle=2\r\npoet=\r\ndate=\r\n"
                       "[4]\r\ntitle=4\r\npoet=\r\ndate=\r\n");
}

TEST_F(PoemStoreTest, CounterBehindIndexNeverOverwritesAPoem) {
    // As after the settings file was lost while the index was kept; names
    // that are no poem's id (too large for one, a leading zero) count for
    // nothing, wherever they stand.
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n[12]\r\ntitle=Twelve\r\n[x9]\r\n[099]\r\n"
                                  "[3000000000]\r\n[7]\r\n");
    WriteBytes(dir / "poems" / "12.poem", "keep me");
    store.setAutoid(1);
    EXPECT_EQ(store.SavePoem(0, "New", "", "", "new"), 13);
    EXPECT_EQ(store.autoid(), 14);
    EXPECT_EQ(poemFile("12"), "keep me");
    store.setAutoid(-5);
    EXPECT_EQ(store.SavePoem(0, "Newer", "", "", "n"), 14);
}

// In an index in ascending order, a name too large for an id is passed over;
// once the largest id is taken, a new poem is refused and nothing changes.
TEST_F(PoemStoreTest, NewIdsInAnAscendingIndex) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n[20]\r\ntitle=Twenty\r\n[3000000000]\r\n");
    store.setAutoid(1);
    EXPECT_EQ(store.SavePoem(0, "New", "", "", "new"), 21);
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\n[2147483647]\r\ntitle=Last\r\n");
    const std::string before = index();
    EXPECT_THROW(store.SavePoem(0, "Newer", "", "", "n"), StorageError);
    EXPECT_EQ(index(), before);
}

TEST_F(PoemStoreTest, DeletingMissingTextFileIsNoError) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=T\r\n[2]\r\ntitle=U\r\n");
    store.DeletePoem("1");
    EXPECT_EQ(index(), "[2]\r\ntitle=U\r\n");
}

// A hand-edited index must never lead the store to a file outside poems/.
class OddSectionNameTest : public PoemStoreTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(OddSectionNameTest, NeverFormsAPath) {
    const std::string id = GetParam();
    WriteBytes(dir / "poems.dmp", "[" + id + "]\r\ntitle=Odd\r\n[1]\r\ntitle=One\r\n");
    WriteBytes(dir / "victim.poem", "outside");
    WriteBytes(dir / "poems" / "007.poem", "leading zeros");
    EXPECT_FALSE(store.poemFile(id).has_value());
    const auto loaded = store.LoadPoem(id);
    EXPECT_EQ(loaded.id, 0);
    EXPECT_EQ(loaded.title, "Odd");
    EXPECT_EQ(loaded.text, "");
    store.DeletePoem(id);
    EXPECT_EQ(index(), "[1]\r\ntitle=One\r\n");
    EXPECT_EQ(ReadBytes(dir / "victim.poem"), "outside");
    EXPECT_EQ(poemFile("007"), "leading zeros");
}

INSTANTIATE_TEST_SUITE_P(HandEdited, OddSectionNameTest,
                         ::testing::Values("../victim", "007", "-1", "+1", "0", "abc", "1 2",
                                           "2147483648", "/etc/passwd"));

TEST_F(PoemStoreTest, UnreadableTextFileIsReported) {
    WriteBytes(dir / "poems.dmp", "[5]\r\ntitle=T\r\n");
    std::filesystem::create_directory(dir / "poems" / "5.poem");
    try {
        store.LoadPoem("5");
        FAIL() << "no error raised";
    } catch (const StorageError& error) {
        const std::string expected =
            "Cannot open file \"" + (dir / "poems" / "5.poem").string() + "\". ";
        EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected);
        EXPECT_GT(std::string(error.what()).size(), expected.size()) << "cause missing";
    }
}

TEST_F(PoemStoreTest, HugeTextFileIsRefusedNotRead) {
    WriteBytes(dir / "poems.dmp", "[5]\r\ntitle=T\r\n");
    std::filesystem::resize_file(
        (WriteBytes(dir / "poems" / "5.poem", ""), dir / "poems" / "5.poem"), 65 * 1024 * 1024);
    try {
        store.LoadPoem("5");
        FAIL() << "no error raised";
    } catch (const StorageError& error) {
        EXPECT_NE(std::string(error.what()).find("68157440 bytes"), std::string::npos)
            << error.what();
    }
}

TEST_F(PoemStoreTest, TextThatCannotBeWrittenLeavesTheIndexAlone) {
    store.SavePoem(0, "T", "P", "D", "old");
    const std::string before = index();
    // A directory in the way of the text file, which even root cannot replace.
    std::filesystem::remove(dir / "poems" / "1.poem");
    std::filesystem::create_directories(dir / "poems" / "1.poem" / "x");
    try {
        store.SavePoem(1, "Changed", "P", "D", "new");
        FAIL() << "no error raised";
    } catch (const StorageError& error) {
        const std::string expected =
            "Cannot create file \"" + (dir / "poems" / "1.poem").string() + "\". ";
        EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected);
    }
    EXPECT_EQ(index(), before);
}

TEST_F(PoemStoreTest, MissingPoemsDirectoryIsCreatedOnSave) {
    std::filesystem::remove(dir / "poems");
    EXPECT_EQ(store.SavePoem(0, "T", "", "", "text"), 1);
    EXPECT_EQ(poemFile("1"), "text");
}

TEST_F(PoemStoreTest, ValuesRoundTrip) {
    const std::string title = "  \"Tom & Jerry\" <1>  ";
    const std::string poet = "'Petőfi'";
    const std::string longDate(3000, 'd');
    const auto id = store.SavePoem(0, title, poet, longDate, "\r\n\r\n");
    const auto loaded = PoemStore(dir.path()).LoadPoem(std::to_string(id));
    EXPECT_EQ(loaded.title, title);
    EXPECT_EQ(loaded.poet, poet);
    EXPECT_EQ(loaded.date, longDate);
    EXPECT_EQ(loaded.text, "\r\n\r\n");
}

TEST(CanonicalPoemId, AcceptsOnlyPlainPositiveDecimals) {
    EXPECT_EQ(CanonicalPoemId("1"), 1);
    EXPECT_EQ(CanonicalPoemId("2147483647"), 2147483647);
    for (const char* odd : {"", "0", "01", "-1", "+1", " 1", "1a", "2147483648", "99999999999"})
        EXPECT_FALSE(CanonicalPoemId(odd)) << odd;
}

// ---- a poem too large to show is refused alike everywhere -----------------

struct HugePoemCase {
    const char* name;
    void (*make)(const std::filesystem::path& file);
    const char* why; // part of the message
};

void PrintTo(const HugePoemCase& c, std::ostream* os) {
    *os << c.name;
}

class HugePoem : public ::testing::TestWithParam<HugePoemCase> {};

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_P(HugePoem, IsRefusedByTheEditorAndTheExportAndLeftAsItIs) {
    TestDir dir;
    std::filesystem::create_directory(dir / "poems");
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Huge\r\n");
    const auto file = dir / "poems" / "1.poem";
    GetParam().make(file);
    const auto size = std::filesystem::file_size(file);
    const auto written = std::filesystem::last_write_time(file);
    PoemStore store(dir.path());
    const auto refusal = [&](const auto& command) -> std::string {
        try {
            command();
        } catch (const StorageError& error) {
            return error.what();
        }
        return "accepted";
    };

    const long peakBefore = PeakKilobytes();
    for (const std::string& shown : {refusal([&] { store.LoadPoem("1"); }), refusal([&] {
                                         BuildCollectionDocument(store, ExportFormat::Text, {}, {});
                                     })}) {
        EXPECT_NE(shown.find("Cannot open file"), std::string::npos) << shown;
        EXPECT_NE(shown.find(GetParam().why), std::string::npos) << shown;
    }
    EXPECT_LT(PeakKilobytes() - peakBefore, 64 * 1024) << "the file was read whole";
    EXPECT_EQ(std::filesystem::file_size(file), size);
    EXPECT_EQ(std::filesystem::last_write_time(file), written);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HugePoem,
    ::testing::Values(HugePoemCase{"OneLongLine",
                                   [](const std::filesystem::path& file) {
                                       WriteBytes(file, "first\r\n" + std::string(150000, 'a'));
                                   },
                                   "line 2 holds 150000 characters"},
                      // Sparse: 300 MB that take no room on the disk.
                      HugePoemCase{"ThreeHundredMegabytes",
                                   [](const std::filesystem::path& file) {
                                       WriteBytes(file, "");
                                       std::filesystem::resize_file(file, 300u << 20);
                                   },
                                   "314572800 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PoemStoreTest, AFileTheEditorCouldNotShowIsNeverSaved) {
    const std::string line(kLongestPoemLine + 1, 'a');
    try {
        store.SavePoem(0, "Huge", "", "", line);
        ADD_FAILURE() << "saved";
    } catch (const StorageError& error) {
        EXPECT_NE(std::string(error.what()).find("100001 characters"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "poems.dmp"));
    EXPECT_FALSE(poemFileExists("1"));
    EXPECT_EQ(store.SavePoem(0, "Long", "", "", std::string(kLongestPoemLine, 'a')), 1);
}

} // namespace
} // namespace stanzel
