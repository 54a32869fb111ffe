#include "full_disk.h"
#include "storage/draft_path.h"
#include "storage/draft_store.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

namespace fs = std::filesystem;
using testing::DraftPath;
using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

PoemRecord Poem(std::int32_t id, std::string title, std::string text) {
    return PoemRecord{id, std::move(title), "Ady Endre", "1906", std::move(text)};
}

void ExpectSamePoem(const PoemRecord& actual, const PoemRecord& expected) {
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.title, expected.title);
    EXPECT_EQ(actual.poet, expected.poet);
    EXPECT_EQ(actual.date, expected.date);
    EXPECT_EQ(actual.text, expected.text);
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- what a draft holds comes back byte for byte -------------------------

struct RoundTripCase {
    const char* name;
    PoemRecord poem;
    std::string time = "2026-12-08 10:15:42";
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class DraftRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DraftRoundTrip, ReadsBackExactly) {
    TestDir dir;
    DraftStore store(dir.path());
    const auto& param = GetParam();
    const auto kept = store.Keep(param.poem, param.time);
    ASSERT_FALSE(kept.error) << kept.error.message();
    const auto drafts = store.List();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].number, kept.number);
    EXPECT_EQ(drafts[0].time, param.time);
    ExpectSamePoem(drafts[0].poem, param.poem);
    // The file is a profile file of single lines, each ended by CR LF.
    const std::string bytes = ReadBytes(DraftPath(store, kept.number));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 8) << bytes;
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 8) << bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DraftRoundTrip,
    ::testing::Values(
        RoundTripCase{"Plain", Poem(3, "Rain", "Line one\r\nLine two")},
        RoundTripCase{"NewPoemEmptyFields", PoemRecord{0, "", "", "", "x"}},
        RoundTripCase{"EveryLineBreak", Poem(1, "a", "cr lf\r\nlf\ncr\rlf cr\n\r\r\n\r\n")},
        RoundTripCase{"EqualsAndSections", Poem(1, "a=b", "key=value\r\n[draft]\r\ntext=no")},
        RoundTripCase{"QuotesAtBothEnds", Poem(1, "\"quoted\"", "'single'")},
        RoundTripCase{"BlanksAtEnds", Poem(1, "  title\t", " \t lead\r\ntrail \t ")},
        RoundTripCase{"OnlyBlanks", Poem(1, " ", "   ")},
        RoundTripCase{"Backslashes", Poem(1, "C:\\new\\", "\\r is not CR\\\\n\\0\\")},
        RoundTripCase{"NulBytes", Poem(1, std::string("a\0b", 3), std::string("\0\0", 2))},
        RoundTripCase{"Latin2AndBrokenUtf8",
                      Poem(1, "\xF5sz \xE9j", "\xC3\x28 \xFF\xFE \xEF\xBB\xBF")},
        RoundTripCase{"Utf8", Poem(1, "Őszi éjjel", "Über „Straße“ — мир")},
        RoundTripCase{"SemicolonFirst", Poem(1, ";note", ";comment\r\n;another")},
        RoundTripCase{"ControlBytes", Poem(1, "\x01\x7F", "\x1B[1m\x08\x0C")},
        RoundTripCase{"TimeWithBreak", Poem(2, "t", "x"), "odd\r\ntime \\"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DraftFields, EscapeAndUnescapeAreInverse) {
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += static_cast<char>(c);
    every += "\\\\\\r\\n\\0\\";
    const std::string escaped = EscapeDraftField(every);
    EXPECT_EQ(escaped.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
    EXPECT_EQ(UnescapeDraftField(escaped), every);
    // A backslash a hand edit left before any other letter stays as written.
    EXPECT_EQ(UnescapeDraftField("a\\tb\\"), "a\\tb\\");
}

TEST(DraftFields, FirstLineStopsAtAnyBreak) {
    EXPECT_EQ(FirstLineOf("one\r\ntwo"), "one");
    EXPECT_EQ(FirstLineOf("one\rtwo"), "one");
    EXPECT_EQ(FirstLineOf("one\ntwo"), "one");
    EXPECT_EQ(FirstLineOf("only"), "only");
    EXPECT_EQ(FirstLineOf(""), "");
}

// ---- the folder ----------------------------------------------------------

class DraftStoreTest : public ::testing::Test {
protected:
    DraftStore::Kept keep(std::string title, std::string text = "text") {
        return store.Keep(Poem(0, std::move(title), std::move(text)), "2026-12-08 10:15:42");
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> found;
        for (const Draft& draft : store.List())
            found.push_back(draft.poem.title);
        return found;
    }

    TestDir dir;
    DraftStore store{dir.path()};
};

TEST_F(DraftStoreTest, ListsNewestFirstAndNamesNeverCollide) {
    EXPECT_TRUE(store.List().empty()) << "no folder yet";
    // All within one second: the names still differ.
    for (const char* title : {"first", "second", "third"})
        ASSERT_FALSE(keep(title).error);
    EXPECT_EQ(titles(), (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(Names(store.folder()), (std::vector<std::string>{"1.draft", "2.draft", "3.draft"}));
}

TEST_F(DraftStoreTest, KeepsTheHundredNewestAndNothingElseGoes) {
    // What stands in the folder and is no draft file is not the program's to remove.
    fs::create_directories(store.folder());
    fs::create_directory(DraftPath(store, 1));
    WriteBytes(store.folder() / "notes.txt", "mine");
    for (int i = 1; i <= 101; ++i)
        ASSERT_FALSE(keep("draft " + std::to_string(i)).error);
    const auto drafts = store.List();
    ASSERT_EQ(drafts.size(), DraftStore::kKept);
    EXPECT_EQ(drafts.front().poem.title, "draft 101");
    EXPECT_EQ(drafts.back().poem.title, "draft 2");
    EXPECT_FALSE(fs::exists(DraftPath(store, 2)));
    EXPECT_TRUE(fs::is_directory(DraftPath(store, 1)));
    EXPECT_EQ(ReadBytes(store.folder() / "notes.txt"), "mine");
}

TEST_F(DraftStoreTest, ReadAndRemoveOne) {
    keep("one");
    const auto second = keep("two", "second\r\ntext");
    const auto draft = store.Read(second.number);
    ASSERT_TRUE(draft);
    EXPECT_EQ(draft->poem.text, "second\r\ntext");
    EXPECT_TRUE(store.Remove(second.number));
    EXPECT_FALSE(store.Read(second.number));
    EXPECT_EQ(titles(), std::vector<std::string>{"one"});
    EXPECT_TRUE(store.Remove(second.number)) << "a draft that is gone counts as removed";
    // A removed newest number is used again only when nothing stands there.
    EXPECT_EQ(keep("three").number, second.number);
}

// A deleted poem's draft says so; every other draft's file stays as it was
// before deleted poems were kept, and reads as an edit.
TEST_F(DraftStoreTest, ADeletedPoemsDraftIsMarkedAndOthersAreNot) {
    const auto edit = keep("edited");
    const auto deleted = store.KeepDeleted(Poem(7, "gone", "its text"), "2026-12-08 10:15:43");
    ASSERT_FALSE(deleted.error);
    EXPECT_EQ(ReadBytes(DraftPath(store, edit.number)).find("deleted="), std::string::npos);
    EXPECT_TRUE(
        ReadBytes(DraftPath(store, deleted.number)).ends_with("text=its text\r\ndeleted=1\r\n"));
    const auto drafts = store.List();
    ASSERT_EQ(drafts.size(), 2u);
    EXPECT_TRUE(drafts[0].deleted);
    ExpectSamePoem(drafts[0].poem, Poem(7, "gone", "its text"));
    EXPECT_FALSE(drafts[1].deleted);
    // Only "1" marks one: a hand-edited value is an edit.
    WriteBytes(DraftPath(store, edit.number),
               ReadBytes(DraftPath(store, edit.number)) + "deleted=yes\r\n");
    EXPECT_FALSE(store.Read(edit.number)->deleted);
}

TEST_F(DraftStoreTest, NeverWritesOverWhatStandsUnderTheNextName) {
    keep("one");
    fs::create_directories(DraftPath(store, 2));
    const auto kept = keep("two");
    EXPECT_EQ(kept.number, 3u);
    EXPECT_TRUE(fs::is_directory(DraftPath(store, 2)));
    EXPECT_EQ(titles(), (std::vector<std::string>{"two", "one"}));
}

TEST_F(DraftStoreTest, TheDraftKeptAtCloseIsToldOnce) {
    EXPECT_FALSE(store.TakeKeptAtClose());
    keep("before");
    ASSERT_FALSE(store.KeepAtClose(Poem(4, "closing", "x"), "t").error);
    keep("after start");
    const auto told = store.TakeKeptAtClose();
    ASSERT_TRUE(told);
    EXPECT_EQ(told->poem.title, "closing");
    EXPECT_EQ(told->poem.id, 4);
    EXPECT_FALSE(store.TakeKeptAtClose());
    EXPECT_EQ(store.List().size(), 3u) << "telling removes no draft";
}

TEST_F(DraftStoreTest, TheNoteOfARecoveredDraftTellsNothing) {
    const auto kept = store.KeepAtClose(Poem(4, "closing", "x"), "t");
    store.Remove(kept.number);
    EXPECT_FALSE(store.TakeKeptAtClose());
}

// ---- files the program did not write are skipped -------------------------

struct ForeignFileCase {
    const char* name;
    // Puts something at drafts/2.draft, beside the good draft 1.
    void (*make)(const fs::path& path, const std::string& good);
};

void PrintTo(const ForeignFileCase& c, std::ostream* os) {
    *os << c.name;
}

class ForeignDraftFile : public ::testing::TestWithParam<ForeignFileCase> {};

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST_P(ForeignDraftFile, IsSkippedAndLeftAlone) {
    TestDir dir;
    DraftStore store(dir.path());
    const auto good = store.Keep(Poem(7, "good", "line one\r\nline two"), "t");
    ASSERT_EQ(good.number, 1u);
    const fs::path path = DraftPath(store, 2);
    GetParam().make(path, ReadBytes(DraftPath(store, 1)));
    std::error_code error;
    const auto before = fs::symlink_status(path, error).type();

    const auto drafts = store.List();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].poem.title, "good");
    EXPECT_FALSE(store.Read(2));
    EXPECT_EQ(fs::symlink_status(path, error).type(), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ForeignDraftFile,
                         ::testing::
                             Values(
                                 ForeignFileCase{"CutInsideTheText",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(p, good.substr(0, good.size() - 8));
                                                 }},
                                 ForeignFileCase{"CutBeforeTheText",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(
                                                         p, good.substr(0, good.find("length=")));
                                                 }},
                                 ForeignFileCase{"Empty",
                                                 [](const fs::path& p, const std::string&) {
                                                     WriteBytes(p, "");
                                                 }},
                                 ForeignFileCase{"TextEditedByHand",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(
                                                         p, Replaced(good, "line two", "line 2"));
                                                 }},
                                 ForeignFileCase{"IdNotANumber",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(p,
                                                                Replaced(good, "id=7", "id=seven"));
                                                 }},
                                 ForeignFileCase{"NegativeId",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(p, Replaced(good, "id=7", "id=-7"));
                                                 }},
                                 ForeignFileCase{"WrongSection",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(
                                                         p, Replaced(good, "[draft]", "[poem]"));
                                                 }},
                                 ForeignFileCase{"Binary",
                                                 [](const fs::path& p, const std::string&) {
                                                     std::string bytes;
                                                     for (int i = 0; i < 4096; ++i)
                                                         bytes +=
                                                             static_cast<char>((i * 7919) & 0xFF);
                                                     WriteBytes(p, bytes);
                                                 }},
                                 ForeignFileCase{"Directory",
                                                 [](const fs::path& p, const std::string&) {
                                                     fs::create_directory(p);
                                                 }},
                                 ForeignFileCase{"LinkToADraft",
                                                 [](const fs::path& p, const std::string&) {
                                                     fs::create_symlink(p.parent_path() / "1.draft",
                                                                        p);
                                                 }},
                                 ForeignFileCase{"NamedPipe",
                                                 [](const fs::path& p, const std::string&) {
                                                     ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
                                                 }},
                                 ForeignFileCase{"Huge",
                                                 [](const fs::path& p, const std::string& good) {
                                                     WriteBytes(p, good);
                                                     fs::resize_file(p, std::uintmax_t{1} << 30);
                                                 }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DraftFolder, OtherNamesAreNoDrafts) {
    TestDir dir;
    DraftStore store(dir.path());
    store.Keep(Poem(1, "good", "x"), "t");
    const std::string good = ReadBytes(DraftPath(store, 1));
    for (const char* name : {"0.draft", "01.draft", "2.draft.bak", "x.draft", "3.DRAFT", ".draft",
                             "99999999999999999999999.draft"})
        WriteBytes(store.folder() / name, good);
    EXPECT_EQ(store.List().size(), 1u);
}

// ---- a draft that cannot be written --------------------------------------

TEST(DraftWriteFailure, FullDiskReportsAndLeavesNothing) {
    TestDir dir;
    DraftStore store(dir.path());
    store.Keep(Poem(1, "small", "x"), "t");
    const auto kept = [&] {
        const testing::FullDisk full(256);
        return store.Keep(Poem(1, "big", std::string(10000, 'v')), "t");
    }();
    EXPECT_TRUE(kept.error);
    EXPECT_EQ(kept.number, 0u);
    EXPECT_EQ(Names(store.folder()), std::vector<std::string>{"1.draft"});
}

// Root writes anywhere, so each attempt runs in a child that gives up root.
struct ReadOnlyCase {
    const char* name;
    void (*make)(const fs::path& collection);
};

void PrintTo(const ReadOnlyCase& c, std::ostream* os) {
    *os << c.name;
}

class DraftWriteRefused : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(DraftWriteRefused, ReportsAndChangesNothing) {
    TestDir dir;
    GetParam().make(dir.path());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        DraftStore store(dir.path());
        const auto kept = store.Keep(Poem(1, "t", "x"), "t");
        ::_exit(kept.error && store.List().empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    ::chmod(dir.path().c_str(), 0700);
    ::chmod((dir / "drafts").c_str(), 0700);
    EXPECT_TRUE(!fs::exists(dir / "drafts") || fs::is_empty(dir / "drafts"));
}

INSTANTIATE_TEST_SUITE_P(Folders, DraftWriteRefused,
                         ::testing::Values(ReadOnlyCase{"ReadOnlyCollection",
                                                        [](const fs::path& dir) {
                                                            ::chmod(dir.c_str(), 0555);
                                                        }},
                                           ReadOnlyCase{"ReadOnlyDrafts",
                                                        [](const fs::path& dir) {
                                                            ::chmod(dir.c_str(), 0755);
                                                            fs::create_directory(dir / "drafts");
                                                            ::chmod((dir / "drafts").c_str(), 0555);
                                                        }},
                                           // Names in it cannot even be looked up.
                                           ReadOnlyCase{"UnsearchableDrafts",
                                                        [](const fs::path& dir) {
                                                            ::chmod(dir.c_str(), 0755);
                                                            fs::create_directory(dir / "drafts");
                                                            ::chmod((dir / "drafts").c_str(), 0644);
                                                        }}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- numbers never wrap ---------------------------------------------------

struct NumberCase {
    const char* name;
    std::string standing; // a draft file's name already in the folder
    std::uint64_t next;   // the number the next draft gets; 0 when refused
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.name;
}

class DraftNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(DraftNumbers, NextIsHigherOrRefused) {
    TestDir dir;
    DraftStore store(dir.path());
    ASSERT_EQ(store.Keep(Poem(1, "first", "a"), "t").number, 1u);
    const fs::path standing = store.folder() / GetParam().standing;
    WriteBytes(standing, ReadBytes(DraftPath(store, 1)));
    const auto kept = store.Keep(Poem(2, "next", "b"), "t");
    EXPECT_EQ(kept.number, GetParam().next);
    EXPECT_EQ(static_cast<bool>(kept.error), GetParam().next == 0);
    EXPECT_FALSE(fs::exists(store.folder() / "0.draft"));
    EXPECT_EQ(ReadBytes(standing), ReadBytes(DraftPath(store, 1))) << "what stands is left alone";
    for (const Draft& draft : store.List())
        EXPECT_NE(draft.number, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DraftNumbers,
    ::testing::Values(NumberCase{"Ordinary", "41.draft", 42},
                      NumberCase{"BelowTheLargest", "999999999999999998.draft",
                                 DraftStore::kLargestNumber},
                      NumberCase{"TheLargestLeavesNoNext", "999999999999999999.draft", 0},
                      NumberCase{"LargestUnsignedIsNoDraft", "18446744073709551615.draft", 2},
                      NumberCase{"PastAnyNumberIsNoDraft", "99999999999999999999999.draft", 2},
                      NumberCase{"LeadingZeroIsNoDraft", "0999.draft", 2},
                      NumberCase{"SignIsNoDraft", "+5.draft", 2}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stanzel
