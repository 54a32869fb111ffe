#include "storage/atomic_file.h"
#include "storage/late_close.h"
#include "test_dir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(ReplaceFileAtomically, KeepsPermissionsOfTheReplacedFile) {
    TestDir dir;
    WriteBytes(dir / "f", "old");
    ::chmod((dir / "f").c_str(), 0640);
    ASSERT_FALSE(ReplaceFileAtomically(dir / "f", "new"));
    struct stat info {};
    ::stat((dir / "f").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBytes(dir / "f"), "new");
}

TEST(ReplaceFileAtomically, ReplacesTheTargetOfALink) {
    TestDir dir;
    std::filesystem::create_directory(dir / "real");
    WriteBytes(dir / "real" / "settings.ini", "old");
    std::filesystem::create_symlink(dir / "real" / "settings.ini", dir / "settings.ini");
    ASSERT_FALSE(ReplaceFileAtomically(dir / "settings.ini", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "settings.ini"));
    EXPECT_EQ(ReadBytes(dir / "real" / "settings.ini"), "new");
}

TEST(ReplaceFileAtomically, FailedRenameLeavesNothingBehind) {
    TestDir dir;
    std::filesystem::create_directories(dir / "busy" / "inside");
    EXPECT_TRUE(ReplaceFileAtomically(dir / "busy", "bytes"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "busy"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

// The replaced files are held after the rename and let go of when the next
// replacement begins: every one of them must be closed all the same, also
// after a failed rename, or a long session runs out of descriptors and keeps
// deleted files on the disk.
TEST(ReplaceFileAtomically, LetsGoOfEveryReplacedFile) {
    TestDir dir;
    WriteBytes(dir / "f", "first");
    std::filesystem::create_directories(dir / "busy" / "inside");
    // Whatever an earlier test in this process replaced is closed first.
    LetGoOfReplacedFiles();
    WaitUntilReplacedFilesClosed();
    const int before = OpenDescriptors();
    for (int round = 0; round < 300; ++round) {
        ASSERT_FALSE(ReplaceFileAtomically(dir / "f", "round " + std::to_string(round)));
        ASSERT_TRUE(ReplaceFileAtomically(dir / "busy", "refused"));
    }
    EXPECT_EQ(ReadBytes(dir / "f"), "round 299");
    // Only what the last round replaced is still held, until the next
    // replacement has begun writing.
    EXPECT_EQ(OpenDescriptors(), before + 1);
    FileReplacement next;
    ASSERT_FALSE(next.Begin(dir / "new"));
    EXPECT_EQ(OpenDescriptors(), before + 1); // the new file's own
    ASSERT_FALSE(next.End());
    EXPECT_EQ(OpenDescriptors(), before);
}

// A replaced file too large to be worth holding (an exported collection) is
// let go of without waiting for the next replacement, whose wait it would be.
TEST(ReplaceFileAtomically, LetsGoOfALargeReplacedFileAtOnce) {
    TestDir dir;
    const std::string large((32 << 20) + 1, 'x');
    WriteBytes(dir / "large", large);
    const int before = OpenDescriptors();
    ASSERT_FALSE(ReplaceFileAtomically(dir / "large", "small now"));
    int after = OpenDescriptors();
    for (int wait = 0; wait < 200 && after > before; ++wait) {
        ::usleep(10000);
        after = OpenDescriptors();
    }
    EXPECT_EQ(after, before);
}

struct PiecesCase {
    const char* name;
    std::size_t size;
    std::size_t piece; // the size of the pieces written, the last one shorter
};

class DocumentInPiecesTest : public ::testing::TestWithParam<PiecesCase> {};

// A document written piece by piece goes to the disk in whole blocks past the
// system's cache and the rest through it: every byte must arrive, in order,
// however the sizes fall about the blocks.
TEST_P(DocumentInPiecesTest, ComesOutByteForByte) {
    const PiecesCase& c = GetParam();
    std::string document(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i)
        document[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
    TestDir dir;
    WriteBytes(dir / "doc", "the old document");
    FileReplacement replacement;
    ASSERT_FALSE(replacement.Begin(dir / "doc"));
    for (std::size_t at = 0; at < c.size; at += c.piece)
        ASSERT_FALSE(replacement.Write(std::string_view(document).substr(at, c.piece)));
    ASSERT_FALSE(replacement.End());
    EXPECT_EQ(ReadBytes(dir / "doc"), "the old document");
    ASSERT_FALSE(replacement.Commit());
    const std::string written = ReadBytes(dir / "doc");
    ASSERT_EQ(written.size(), document.size());
    EXPECT_TRUE(written == document);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DocumentInPiecesTest,
    ::testing::Values(PiecesCase{"Empty", 0, 1}, PiecesCase{"OneByte", 1, 1},
                      PiecesCase{"LessThanADeviceBlock", 4095, 1000},
                      PiecesCase{"OneDeviceBlock", 4096, 4096},
                      PiecesCase{"OneBlockInOddPieces", 1 << 20, 65521},
                      PiecesCase{"ABlockAndAByte", (1 << 20) + 1, 65536},
                      PiecesCase{"PiecesLargerThanABlock", (3 << 20) + 12345, (1 << 20) + 999},
                      PiecesCase{"ManySmallPieces", (2 << 20) + 4097, 77}),
    [](const ::testing::TestParamInfo<PiecesCase>& info) { return std::string(info.param.name); });

// A document the disk will not take whole (here a file size limit, as a full
// disk would) fails, even when the refusal falls on a block written in the
// background; the old file stays and nothing is left beside it.
TEST(DocumentInPieces, ARefusedBlockFailsTheDocument) {
    TestDir dir;
    WriteBytes(dir / "doc", "the old document");
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string piece(65536, 'x');
        FileReplacement replacement;
        if (replacement.Begin(dir / "doc"))
            ::_exit(2);
        for (int i = 0; i < 64; ++i) {
            if (replacement.Write(piece))
                ::_exit(0); // refused, as it must be
        }
        ::_exit(replacement.End() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(dir / "doc"), "the old document");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A text of `size` bytes in lines, unlike itself at every offset, so that a
// piece written at the wrong place shows.
std::string Lines(std::size_t size, char seed) {
    std::string text(size, '\n');
    for (std::size_t i = 0; i < size; ++i)
        if (i % 61 != 60)
            text[i] = static_cast<char>(seed + (i * 7 + i / 4093) % 26);
    return text;
}

// The temporary file beside `target` while one is being written; empty when
// there is none.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path()))
        if (entry.path() != target)
            return entry.path();
    return {};
}

struct CopyAheadCase {
    const char* name;
    std::string old;
    std::string now;
};

void PrintTo(const CopyAheadCase& c, std::ostream* out) {
    *out << c.name;
}

std::string With(std::string text, std::size_t at, std::size_t length, std::string_view put) {
    return text.replace(at, length, put);
}

const std::string kOld = Lines((3 << 20) + 1234, 'a');

// When the new text comes: while the old one is being copied, once all of
// it is copied, or once the copy has stopped where the caller said the
// change begins.
enum class Moment { DuringTheCopy, AfterTheCopy, UpToTheChange };

constexpr const char* kMomentNames[] = {"DuringTheCopy", "AfterTheCopy", "UpToTheChange"};

class CopyAheadTest : public ::testing::TestWithParam<std::tuple<CopyAheadCase, Moment>> {};

// The new text is written from the old one before it is known, then mended
// from its first changed byte: whether the change falls before or after what
// was copied, the file must come out as the new text, byte for byte, never
// with the old text's tail beyond it.
TEST_P(CopyAheadTest, ComesOutAsTheNewText) {
    const auto& [c, moment] = GetParam();
    TestDir dir;
    WriteBytes(dir / "index", c.old);
    const auto old = std::make_shared<const std::string>(c.old);
    FileReplacement replacement;
    replacement.CopyAhead(dir / "index", old);
    std::size_t copyEnd = c.old.size();
    if (moment == Moment::UpToTheChange) {
        copyEnd = static_cast<std::size_t>(
            std::mismatch(c.old.begin(), c.old.end(), c.now.begin(), c.now.end()).first -
            c.old.begin());
        replacement.CopyAheadUpTo(dir / "index", copyEnd);
    }
    if (moment != Moment::DuringTheCopy) {
        for (int wait = 0; wait < 500; ++wait) {
            const auto temporary = TemporaryBeside(dir / "index");
            std::error_code error;
            if (!temporary.empty() && std::filesystem::file_size(temporary, error) >= copyEnd)
                break;
            ::usleep(2000);
        }
    }
    ASSERT_FALSE(replacement.Prepare(dir / "index", c.now, old.get()));
    EXPECT_TRUE(ReadBytes(dir / "index") == c.old);
    ASSERT_FALSE(replacement.Commit());
    const std::string written = ReadBytes(dir / "index");
    EXPECT_EQ(written.size(), c.now.size());
    EXPECT_TRUE(written == c.now);
    EXPECT_TRUE(TemporaryBeside(dir / "index").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CopyAheadTest,
    ::testing::Combine(
        ::testing::Values(
            CopyAheadCase{"LongerInTheMiddle", kOld, With(kOld, 1500000, 40, Lines(300, 'A'))},
            CopyAheadCase{"ShorterInTheMiddle", kOld, With(kOld, 1500000, 5000, "[7]\r\n")},
            CopyAheadCase{"AddedAtTheEnd", kOld, kOld + "[100001]\r\ntitle=New\r\n"},
            CopyAheadCase{"CutShort", kOld, kOld.substr(0, 1 << 20)},
            CopyAheadCase{"FirstByte", kOld, With(kOld, 0, 1, "#")},
            CopyAheadCase{"LastByte", kOld, With(kOld, kOld.size() - 1, 1, "#")},
            CopyAheadCase{"Emptied", kOld, ""},
            CopyAheadCase{"SmallFile", "[1]\r\ntitle=Old\r\n", "[1]\r\ntitle=New one\r\n"}),
        ::testing::Values(Moment::DuringTheCopy, Moment::AfterTheCopy, Moment::UpToTheChange)),
    [](const ::testing::TestParamInfo<std::tuple<CopyAheadCase, Moment>>& info) {
        return std::string(std::get<0>(info.param).name) +
               kMomentNames[static_cast<int>(std::get<1>(info.param))];
    });

// A copy the command never uses (nothing changed, or the command failed
// first) leaves no file behind and the old file as it was, untouched.
TEST(CopyAhead, AnUnusedCopyLeavesNothingBehind) {
    TestDir dir;
    WriteBytes(dir / "index", kOld);
    const auto old = std::make_shared<const std::string>(kOld);
    struct stat before {};
    ::stat((dir / "index").c_str(), &before);
    {
        FileReplacement unchanged;
        unchanged.CopyAhead(dir / "index", old);
        ASSERT_FALSE(unchanged.Prepare(dir / "index", kOld, old.get()));
        ASSERT_FALSE(unchanged.Commit());
    }
    {
        FileReplacement dropped;
        dropped.CopyAhead(dir / "index", old);
    }
    struct stat after {};
    ::stat((dir / "index").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(ReadBytes(dir / "index") == kOld);
    EXPECT_TRUE(TemporaryBeside(dir / "index").empty());
}

// Copying ahead needs room for the old text; a disk too full for it (here a
// file size limit) must still take a shorter new text, and must refuse a
// longer one with the old file kept and nothing left beside it.
TEST(CopyAhead, AFullDiskTakesWhatFitsAndRefusesTheRest) {
    for (const bool fits : {true, false}) {
        SCOPED_TRACE(fits ? "a shorter text" : "a longer text");
        TestDir dir;
        WriteBytes(dir / "index", kOld);
        const std::string now = fits ? kOld.substr(0, 1 << 20) : kOld + kOld;
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{2 << 20, 2 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const auto old = std::make_shared<const std::string>(kOld);
            FileReplacement replacement;
            replacement.CopyAhead(dir / "index", old);
            ::usleep(50000); // the copy reaches the limit
            const bool written =
                !replacement.Prepare(dir / "index", now, old.get()) && !replacement.Commit();
            ::_exit(written == fits ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(ReadBytes(dir / "index") == (fits ? now : kOld));
        EXPECT_TRUE(TemporaryBeside(dir / "index").empty());
    }
}

TEST(RemoveStaleTemporaryFiles, OnlyTheProgramsOwnOfProcessesThatAreGone) {
    TestDir dir;
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::string mine = std::to_string(::getpid());
    const std::vector<std::string> removed = {".poems.dmp.stanzel-tmp-" + dead + "-77-0",
                                              ".3.poem.stanzel-tmp-" + dead + "-1-12"};
    const std::vector<std::string> kept = {
        ".poems.dmp.stanzel-tmp-" + mine + "-1-0", // still being written
        "poems.dmp",
        "notes.tmp-12345-keep.txt", // a user's file, however it is named
        "poems.dmp.tmp-" + dead + "-1-0",
        "poems.dmp.stanzel-tmp-" + dead + "-1-0", // not hidden
        ".poems.dmp.stanzel-tmp-" + dead + "-1-0.txt",
        ".poems.dmp.stanzel-tmp-" + dead + "-1",
        ".poems.dmp.stanzel-tmp--1-0",
        // Too large for a process id, and for any integer type.
        ".poems.dmp.stanzel-tmp-99999999999-1-1",
        ".x.stanzel-tmp-123456789012345678901234567890-1-1",
        ".x.stanzel-tmp-1-123456789012345678901234567890-123456789012345678901234567890",
    };
    for (const std::string& name : removed)
        WriteBytes(dir / name, "x");
    for (const std::string& name : kept)
        WriteBytes(dir / name, "x");
    // Only files: a folder of that name is the user's.
    std::filesystem::create_directory(dir / (".d.stanzel-tmp-" + dead + "-1-0"));
    RemoveStaleTemporaryFiles(dir.path());
    for (const std::string& name : removed)
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / (".d.stanzel-tmp-" + dead + "-1-0")));
}

TEST(ReplaceFileAtomically, TemporaryFilesAreHiddenAndRemovableByTheCleanUp) {
    TestDir dir;
    WriteBytes(dir / "f", "old");
    // A write killed after its temporary file was flushed, simulated in a child.
    const pid_t child = ::fork();
    if (child == 0) {
        file_faults::Arm(FileStep::Rename, 1, EIO);
        FileReplacement replacement;
        replacement.Prepare(dir / "f", "new");
        ::_exit(0); // no destructor: the temporary stays, as after a kill
    }
    ::waitpid(child, nullptr, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 2u);
    RemoveStaleTemporaryFiles(dir.path());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(ReadBytes(dir / "f"), "old");
}

// A buffer kept from command to command is read into as it stands, without
// clearing: whatever it held before never shows through.
TEST(ReadFileInto, AReusedBufferHoldsExactlyTheFile) {
    TestDir dir;
    std::string buffer(2'000'000, '#');
    WriteBytes(dir / "small", "[1]\r\ntitle=x\r\n");
    ASSERT_FALSE(ReadFileInto(dir / "small", buffer));
    EXPECT_EQ(buffer, "[1]\r\ntitle=x\r\n");
    WriteBytes(dir / "empty", "");
    ASSERT_FALSE(ReadFileInto(dir / "empty", buffer));
    EXPECT_EQ(buffer, "");
    EXPECT_TRUE(ReadFileInto(dir / "none", buffer));
    EXPECT_EQ(buffer, "");
}

TEST(ReadWholeFile, ReportsWhyAFileCannotBeRead) {
    TestDir dir;
    EXPECT_TRUE(ReadWholeFile(dir / "none").missing());
    std::filesystem::create_directory(dir / "d");
    const auto directory = ReadWholeFile(dir / "d");
    EXPECT_TRUE(directory.error);
    EXPECT_FALSE(directory.missing());
    // A FIFO would block a reader until some writer opens it, and a device
    // may never end: neither is read.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(dir / "fifo").error, NotARegularFile());
    EXPECT_EQ(ReadWholeFile("/dev/zero").error, NotARegularFile());
    std::string binary(300000, '\0');
    binary[12345] = '\xFF';
    WriteBytes(dir / "b", binary);
    EXPECT_EQ(ReadWholeFile(dir / "b").bytes, binary);
    // Larger than any first guess at its size.
    std::string large(5'000'003, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4093)
        large[i] = static_cast<char>('a' + i % 26);
    WriteBytes(dir / "large", large);
    EXPECT_EQ(ReadWholeFile(dir / "large").bytes, large);
}

} // namespace
} // namespace stanzel
