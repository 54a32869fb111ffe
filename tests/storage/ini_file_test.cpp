#include "storage/ini_file.h"
#include "storage/odd_indexes.h"
#include "storage/section_names.h"
#include "storage/storage_error.h"
#include "test_dir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::kOddIndexes;
using testing::LargeIndex;
using testing::ReadBytes;
using testing::SectionNames;
using testing::TestDir;
using testing::WriteBytes;

constexpr std::string_view kDefault = "<default>";

struct ReadCase {
    const char* name;
    std::string_view file;
    std::string_view section;
    std::string_view key;
    std::string_view expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsValue) {
    const ReadCase& c = GetParam();
    TestDir dir;
    WriteBytes(dir / "f.ini", c.file);
    const IniFile ini(dir / "f.ini");
    EXPECT_EQ(ini.ReadText(c.section, c.key, kDefault), c.expected);
}

const std::string kLongValue(5000, 'x');
const std::string kLongFile = "[s]\r\nk=" + kLongValue + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, IniReadTest,
    ::testing::Values(
        ReadCase{"CrLf", "[s]\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"LfOnly", "[s]\nk=v\nj=w\n", "s", "j", "w"},
        ReadCase{"CrOnly", "[s]\rk=v\rj=w\r", "s", "j", "w"},
        ReadCase{"NoFinalBreak", "[s]\r\nk=v", "s", "k", "v"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"SectionCase", "[Language]\r\nk=v\r\n", "language", "k", "v"},
        ReadCase{"KeyCase", "[s]\r\nTitle=v\r\n", "s", "TITLE", "v"},
        ReadCase{"BlanksAround", " [ s ] \r\n\t k \t=  v v \t\r\n", "s", "k", "v v"},
        ReadCase{"DoubleQuotes", "[s]\r\nk=\" v \"\r\n", "s", "k", " v "},
        ReadCase{"SingleQuotes", "[s]\r\nk='v'\r\n", "s", "k", "v"},
        ReadCase{"MismatchedQuotes", "[s]\r\nk=\"v'\r\n", "s", "k", "\"v'"},
        ReadCase{"LoneQuote", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        ReadCase{"OnlyOnePairRemoved", "[s]\r\nk=\"\"v\"\"\r\n", "s", "k", "\"v\""},
        ReadCase{"EmptyValueIsNotDefault", "[s]\r\nk=\r\n", "s", "k", ""},
        ReadCase{"EqualsInValue", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        ReadCase{"MissingKey", "[s]\r\nk=v\r\n", "s", "x", kDefault},
        ReadCase{"MissingSection", "[s]\r\nk=v\r\n", "t", "k", kDefault},
        ReadCase{"KeyOfOtherSection", "[s]\r\nk=v\r\n[t]\r\nj=w\r\n", "t", "k", kDefault},
        ReadCase{"BeforeFirstSection", "k=v\r\n[s]\r\n", "s", "k", kDefault},
        ReadCase{"CommentIgnored", "[s]\r\n;k=c\r\n k=v\r\n", "s", "k", "v"},
        ReadCase{"CommentNeverMatchesAKey", "[s]\r\n;k=no\r\n", "s", ";k", kDefault},
        ReadCase{"IndentedCommentNeverMatches", "[s]\r\n\t;k=no\r\n", "s", ";k", kDefault},
        ReadCase{"LineWithoutEquals", "[s]\r\nk\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"FirstSectionWins", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "1"},
        ReadCase{"LaterSectionNotMerged", "[s]\r\nj=1\r\n[s]\r\nk=2\r\n", "s", "k", kDefault},
        ReadCase{"FirstKeyWins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
        ReadCase{"BracketInValue", "[s]\r\nk=[t]\r\n", "s", "k", "[t]"},
        ReadCase{"UnclosedBracketIsNoSection", "[s]\r\n[t\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"NonAsciiBytesAsTheyStand", "[s]\r\nk=Ének\r\n", "s", "k", "Ének"},
        ReadCase{"LongValueWhole", kLongFile, "s", "k", kLongValue}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniRead, MissingFileGivesDefaultsAndIsNotCreated) {
    TestDir dir;
    const IniFile ini(dir / "none.ini");
    EXPECT_EQ(ini.ReadText("s", "k", "d"), "d");
    EXPECT_EQ(ini.ReadNumber("s", "k", 7), 7);
    EXPECT_TRUE(SectionNames(ini).empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(IniRead, RandomBytesReadAsDefaults) {
    TestDir dir;
    std::string noise;
    for (int i = 0; i < 20000; ++i)
        noise += static_cast<char>((i * 7919 + 13) % 256);
    WriteBytes(dir / "f.ini", noise);
    const IniFile ini(dir / "f.ini");
    EXPECT_EQ(ini.ReadText("Save", "autoid", "d"), "d");
    EXPECT_EQ(ini.ReadNumber("Save", "autoid", 1), 1);
}

struct NumberCase {
    const char* name;
    std::string_view stored;
    std::int32_t expected;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.name;
}

class IniNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(IniNumberTest, ReadsNumber) {
    TestDir dir;
    WriteBytes(dir / "f.ini", "[s]\r\nk=" + std::string(GetParam().stored) + "\r\n");
    EXPECT_EQ(IniFile(dir / "f.ini").ReadNumber("s", "k", -99), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, IniNumberTest,
    ::testing::Values(NumberCase{"HexPrefix", "0x1F", 31}, NumberCase{"HexPrefixUpper", "0X1f", 31},
                      NumberCase{"Dollar", "$1F", 31}, NumberCase{"Negative", "-5", -5},
                      NumberCase{"Plus", "+5", 5}, NumberCase{"Quoted", "\"42\"", 42},
                      NumberCase{"Largest", "2147483647", 2147483647},
                      NumberCase{"Smallest", "-2147483648", -2147483647 - 1},
                      NumberCase{"AllBitsHex", "$FFFFFFFF", -1}, NumberCase{"Empty", "", -99},
                      NumberCase{"TrailingLetters", "12abc", -99},
                      NumberCase{"Letters", "abc", -99}, NumberCase{"TooLarge", "2147483648", -99},
                      NumberCase{"HexTooLarge", "$100000000", -99},
                      NumberCase{"BarePrefix", "0x", -99}, NumberCase{"BareDollar", "$", -99},
                      NumberCase{"BareSign", "-", -99}, NumberCase{"InnerBlank", "1 2", -99}),
    [](const auto& info) { return std::string(info.param.name); });

// Writes compare whole files: every byte the write does not concern must stay.
struct WriteCase {
    const char* name;
    std::string_view before; // "<none>" for a missing file
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::string_view after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, WritesExactBytes) {
    const WriteCase& c = GetParam();
    TestDir dir;
    if (c.before != "<none>")
        WriteBytes(dir / "f.ini", c.before);
    IniFile ini(dir / "f.ini");
    ini.WriteText(c.section, c.key, c.value);
    EXPECT_EQ(ReadBytes(dir / "f.ini"), c.after);
    // What was written reads back, through this object and a fresh one.
    std::string expected(c.value);
    for (char& ch : expected)
        if (ch == '\r' || ch == '\n' || ch == '\0')
            ch = ' ';
    EXPECT_EQ(ini.ReadText(c.section, c.key, kDefault), expected);
    EXPECT_EQ(IniFile(dir / "f.ini").ReadText(c.section, c.key, kDefault), expected);
}

const std::string_view kHandWritten = "\xEF\xBB\xBF; Hungarian\n"
                                      "\n"
                                      "[language]\n"
                                      "; menus\n"
                                      "file = Fájl\n"
                                      "\n"
                                      "new=Új\n"
                                      "; end of menus\n"
                                      "\n"
                                      "[other]\n"
                                      "x=1";

INSTANTIATE_TEST_SUITE_P(
    Format, IniWriteTest,
    ::testing::Values(
        WriteCase{"CreatesMissingFile", "<none>", "Save", "autoid", "2", "[Save]\r\nautoid=2\r\n"},
        WriteCase{"RewritesInPlace", "[a]\r\nk=1\r\nj=2\r\n[b]\r\nk=3\r\n", "a", "k", "9",
                  "[a]\r\nk=9\r\nj=2\r\n[b]\r\nk=3\r\n"},
        WriteCase{"RewriteKeepsLineBreakKind", "[a]\nk=1\nj=2\n", "a", "k", "9", "[a]\nk=9\nj=2\n"},
        WriteCase{"RewriteMatchesCase", "[A]\r\nK=1\r\n", "a", "k", "9", "[A]\r\nk=9\r\n"},
        WriteCase{"RewritesFirstOfTwinSections", "[a]\r\nk=1\r\n[a]\r\nk=2\r\n", "a", "k", "9",
                  "[a]\r\nk=9\r\n[a]\r\nk=2\r\n"},
        WriteCase{"NewKeyAfterLastEntry", "[a]\r\nk=1\r\n\r\n; note\r\n[b]\r\n", "a", "j", "2",
                  "[a]\r\nk=1\r\nj=2\r\n\r\n; note\r\n[b]\r\n"},
        WriteCase{"NewKeyInEmptySection", "[a]\r\n[b]\r\n", "a", "j", "2", "[a]\r\nj=2\r\n[b]\r\n"},
        WriteCase{"NewKeyAfterUnterminatedLine", "[a]\r\nk=1", "a", "j", "2",
                  "[a]\r\nk=1\r\nj=2\r\n"},
        WriteCase{"NewKeyAfterUnterminatedHeader", "[a]", "a", "j", "2", "[a]\r\nj=2\r\n"},
        WriteCase{"NewSectionAtEnd", "[a]\r\nk=1\r\n", "b", "k", "2",
                  "[a]\r\nk=1\r\n[b]\r\nk=2\r\n"},
        WriteCase{"NewSectionAddsMissingBreak", "[a]\r\nk=1", "b", "k", "2",
                  "[a]\r\nk=1\r\n[b]\r\nk=2\r\n"},
        WriteCase{"NewSectionInEmptyFile", "", "b", "k", "2", "[b]\r\nk=2\r\n"},
        WriteCase{"NewSectionAfterMarkOnly", "\xEF\xBB\xBF", "b", "k", "2",
                  "\xEF\xBB\xBF[b]\r\nk=2\r\n"},
        WriteCase{"HandWrittenFileKeepsEveryOtherByte", kHandWritten, "language", "new", "Uj",
                  "\xEF\xBB\xBF; Hungarian\n\n[language]\n; menus\nfile = Fájl\n\nnew=Uj\n"
                  "; end of menus\n\n[other]\nx=1"},
        WriteCase{"HandWrittenFileNewKey", kHandWritten, "language", "save", "Mentés",
                  "\xEF\xBB\xBF; Hungarian\n\n[language]\n; menus\nfile = Fájl\n\nnew=Új\n"
                  "save=Mentés\r\n; end of menus\n\n[other]\nx=1"},
        WriteCase{"LeadingBlankQuoted", "<none>", "s", "k", " v", "[s]\r\nk=\" v\"\r\n"},
        WriteCase{"TrailingTabQuoted", "<none>", "s", "k", "v\t", "[s]\r\nk=\"v\t\"\r\n"},
        WriteCase{"QuotedValueQuotedAgain", "<none>", "s", "k", "\"v\"", "[s]\r\nk=\"\"v\"\"\r\n"},
        WriteCase{"SingleQuotedValueQuoted", "<none>", "s", "k", "'v'", "[s]\r\nk=\"'v'\"\r\n"},
        WriteCase{"InnerQuotesPlain", "<none>", "s", "k", "a \"b\" c", "[s]\r\nk=a \"b\" c\r\n"},
        WriteCase{"EmptyValue", "<none>", "s", "k", "", "[s]\r\nk=\r\n"},
        WriteCase{"LineBreaksBecomeBlanks", "<none>", "s", "k", "a\r\n[x]\nb=c\rd",
                  "[s]\r\nk=a  [x] b=c d\r\n"},
        WriteCase{"NulBecomesBlank", "<none>", "s", "k", std::string_view("a\0b", 3),
                  "[s]\r\nk=a b\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniWrite, NumberIsPlainDecimal) {
    TestDir dir;
    IniFile ini(dir / "f.ini");
    ini.WriteNumber("s", "a", -42);
    ini.WriteNumber("s", "b", 7);
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "[s]\r\na=-42\r\nb=7\r\n");
}

TEST(IniWrite, SeveralEntriesInOneSection) {
    TestDir dir;
    WriteBytes(dir / "f.ini", "[1]\r\ntitle=Old\r\ndate=1900\r\n");
    IniFile ini(dir / "f.ini");
    ini.WriteTexts("1", {{"title", "New"}, {"poet", "Ady"}, {"date", "1901"}});
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "[1]\r\ntitle=New\r\ndate=1901\r\npoet=Ady\r\n");
    ini.WriteTexts("2", {{"title", "T"}, {"poet", ""}, {"date", "d"}});
    EXPECT_EQ(ReadBytes(dir / "f.ini"),
              "[1]\r\ntitle=New\r\ndate=1901\r\npoet=Ady\r\n[2]\r\ntitle=T\r\npoet=\r\ndate=d\r\n");
}

TEST(IniWrite, RejectsNamesThatCouldNotBeReadBack) {
    TestDir dir;
    IniFile ini(dir / "f.ini");
    EXPECT_THROW(ini.WriteText("a]b", "k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteText("s", "k=j", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteText("s\r\n[t", "k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteText("s", "", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteText("s", "[k", "]"), std::invalid_argument); // would read as a section
    EXPECT_THROW(ini.WriteText("s", ";k", "v"), std::invalid_argument); // and as a comment
    EXPECT_FALSE(std::filesystem::exists(dir / "f.ini"));
}

TEST(IniSections, ListedInFileOrderOnceEach) {
    TestDir dir;
    WriteBytes(dir / "f.ini", "x=1\r\n[3]\r\n[1]\r\n[ 2 ]\r\n[a]\r\n[A]\r\n[1]\r\n");
    EXPECT_EQ(SectionNames(IniFile(dir / "f.ini")), (std::vector<std::string>{"3", "1", "2", "a"}));
}

TEST(IniSections, NoLimitOnHowManyAreListed) {
    TestDir dir;
    std::string file;
    for (int i = 1; i <= 20000; ++i)
        file += "[" + std::to_string(i) + "]\r\ntitle=t" + std::to_string(i) + "\r\n";
    WriteBytes(dir / "f.ini", file);
    const IniFile ini(dir / "f.ini");
    const std::vector<std::string> names = SectionNames(ini);
    ASSERT_EQ(names.size(), 20000u);
    EXPECT_EQ(names.back(), "20000");
    EXPECT_EQ(ini.ReadText("19999", "title", ""), "t19999");
}

// A text that comes in pieces is read as the whole of it is, wherever the
// pieces end: within a line, between the CR and LF of a break, within the
// byte-order mark, or within a section larger than a piece.
TEST(ProfileText, ReadInPiecesAsWhole) {
    std::vector<std::string> texts(std::begin(kOddIndexes), std::end(kOddIndexes));
    texts.push_back(LargeIndex(false));
    texts.push_back(LargeIndex(true) + "[15000]\r\ntitle=twin\r\n");
    texts.push_back("[1]\r\ntitle=" + std::string(300000, 'x') + "\r\npoet=p\r\n[2]\r\n");
    constexpr std::string_view keys[] = {"title", "poet", "date"};
    const auto describe = [&](const ProfileText& text) {
        std::vector<std::string> seen;
        for (std::size_t i = 0; i < text.sectionCount(); ++i) {
            seen.emplace_back(text.name(i));
            seen.push_back(text.section(i).firstOfName ? "first" : "twin");
            for (std::string_view key : keys)
                seen.emplace_back(text.valueOr(i, key, "-"));
        }
        return seen;
    };
    for (const std::string& bytes : texts) {
        const auto whole = describe(ProfileText(bytes));
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{4096},
                                  std::size_t{65537}}) {
            ProfileText pieces;
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                pieces.AppendFrom([&](std::string& text) {
                    text.append(std::string_view(bytes).substr(at, piece));
                    return true;
                });
            pieces.Finish();
            EXPECT_TRUE(describe(pieces) == whole) << bytes.substr(0, 60) << " in " << piece;
        }
    }
}

TEST(IniSections, RemoveTakesEveryTwinAndItsLines) {
    TestDir dir;
    WriteBytes(dir / "f.ini",
               "\xEF\xBB\xBF[5]\r\ntitle=a\r\n; c\r\n[6]\r\ntitle=b\r\n[5]\r\ntitle=c");
    IniFile ini(dir / "f.ini");
    ini.RemoveSection("5");
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "\xEF\xBB\xBF[6]\r\ntitle=b\r\n");
    EXPECT_EQ(ini.ReadText("5", "title", kDefault), kDefault);
    EXPECT_EQ(SectionNames(ini), std::vector<std::string>{"6"});
}

TEST(IniSections, RemovingWhatIsNotThereWritesNothing) {
    TestDir dir;
    IniFile(dir / "none.ini").RemoveSection("x");
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
    WriteBytes(dir / "f.ini", "[a]\r\n");
    const auto before = std::filesystem::last_write_time(dir / "f.ini");
    IniFile(dir / "f.ini").RemoveSection("b");
    EXPECT_EQ(std::filesystem::last_write_time(dir / "f.ini"), before);
}

TEST(IniSections, WritesThroughOneObjectSeeEachOther) {
    TestDir dir;
    IniFile ini(dir / "f.ini");
    ini.WriteText("1", "title", "a");
    ini.WriteText("2", "title", "b");
    ini.RemoveSection("1");
    ini.WriteText("3", "title", "c");
    EXPECT_EQ(SectionNames(ini), (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(ReadBytes(dir / "f.ini"), "[2]\r\ntitle=b\r\n[3]\r\ntitle=c\r\n");
}

// Failed writes must leave the old file exactly as it was and say where.
class IniWriteFailure : public ::testing::Test {
protected:
    TestDir dir;
    std::filesystem::path file = dir / "f.ini";
    const std::string original = "[a]\r\nk=1\r\n";

    void SetUp() override { WriteBytes(file, original); }

    void ExpectUntouched() {
        EXPECT_EQ(ReadBytes(file), original);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename(), "f.ini") << "left behind: " << entry.path();
    }
};

TEST_F(IniWriteFailure, MissingDirectory) {
    IniFile ini(dir / "gone" / "f.ini");
    try {
        ini.WriteText("a", "k", "v");
        FAIL() << "no error raised";
    } catch (const StorageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Unable to write to " + (dir / "gone" / "f.ini").string());
    }
}

TEST_F(IniWriteFailure, FullDisk) {
    // A file-size limit makes the write fail part-way, as a full disk does,
    // and works for root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    IniFile ini(file);
    EXPECT_THROW(ini.WriteText("a", "k", std::string(1000, 'v')), StorageError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ExpectUntouched();
    // The object still holds the old contents, not the failed ones.
    EXPECT_EQ(ini.ReadText("a", "k", ""), "1");
}

TEST_F(IniWriteFailure, FileThatCannotBeReadIsNotReplaced) {
    // Writing rewrites what was read: a file in the way that reads as empty
    // must not be replaced by a file of one section.
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    IniFile ini(file);
    EXPECT_EQ(ini.ReadText("a", "k", "none"), "none");
    EXPECT_THROW(ini.WriteText("a", "k", "v"), StorageError);
    EXPECT_THROW(ini.RemoveSection("a"), StorageError);
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(IniWriteFailure, HeldWritesReachTheFileTogetherOrNotAtAll) {
    IniFile ini(file);
    ini.HoldWrites();
    ini.WriteText("a", "k", "2");
    ini.WriteText("b", "j", "3");
    EXPECT_EQ(ReadBytes(file), original) << "nothing written before WriteHeld";
    EXPECT_EQ(ini.ReadText("b", "j", ""), "3");
    EXPECT_EQ(*ini.HeldOriginal(), original);
    ini.WriteHeld();
    EXPECT_EQ(ReadBytes(file), "[a]\r\nk=2\r\n[b]\r\nj=3\r\n");
}

TEST_F(IniWriteFailure, ReadOnlyDirectory) {
    ::chmod(dir.path().c_str(), 0555);
    ::chmod(file.c_str(), 0444);
    // Root writes anywhere, so the attempt runs in a child that gives up root.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        try {
            IniFile(file).RemoveSection("a");
        } catch (const StorageError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    ::chmod(dir.path().c_str(), 0700);
    ExpectUntouched();
}

} // namespace
} // namespace stanzel
