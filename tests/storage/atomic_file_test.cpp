#include "storage/atomic_file.h"
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

TEST(ReplaceFileAtomically, ReplacesALinkItselfNeverItsTarget) {
    TestDir dir;
    std::filesystem::create_directory(dir / "real");
    WriteBytes(dir / "real" / "settings.ini", "old");
    std::filesystem::create_symlink(dir / "real" / "settings.ini", dir / "settings.ini");
    ASSERT_FALSE(ReplaceFileAtomically(dir / "settings.ini", "new"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "settings.ini"));
    EXPECT_EQ(ReadBytes(dir / "settings.ini"), "new");
    EXPECT_EQ(ReadBytes(dir / "real" / "settings.ini"), "old");
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

// A long session replaces files thousands of times, failed renames among
// them: no descriptor may be left open, or the program runs out of them and
// keeps deleted files on the disk.
TEST(ReplaceFileAtomically, LeavesNoDescriptorOpen) {
    TestDir dir;
    WriteBytes(dir / "f", "first");
    std::filesystem::create_directories(dir / "busy" / "inside");
    const int before = OpenDescriptors();
    for (int round = 0; round < 300; ++round) {
        ASSERT_FALSE(ReplaceFileAtomically(dir / "f", "round " + std::to_string(round)));
        ASSERT_TRUE(ReplaceFileAtomically(dir / "busy", "refused"));
    }
    EXPECT_EQ(ReadBytes(dir / "f"), "round 299");
    EXPECT_EQ(OpenDescriptors(), before);
}

struct PiecesCase {
    const char* name;
    std::size_t size;
    std::size_t piece; // the size of the pieces written, the last one shorter
};

class DocumentInPiecesTest : public ::testing::TestWithParam<PiecesCase> {};

// A document written piece by piece: every byte must arrive, in order,
// however the pieces fall.
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
// disk would) fails; the old file stays and nothing is left beside it.
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

// A look a slice at a time, as the window makes it between other work: it
// keeps what its filter takes, whatever slices it came in, and a name that
// comes during the look shows in the folder's identity.
TEST(FolderLook, KeepsWhatItsFilterTakesAndTellsAFolderChangedMeanwhile) {
    TestDir dir;
    for (int n = 0; n < 50; ++n)
        WriteBytes(dir / (std::to_string(n) + (n % 7 == 0 ? ".keep" : ".poem")), "x");
    FolderLook look(dir.path(), [](std::string_view name) { return name.ends_with(".keep"); });
    ASSERT_TRUE(look.LookSome(3));
    WriteBytes(dir / "late.keep", "x");
    while (look.LookSome(3)) {
    }
    EXPECT_FALSE(look.LookSome(3)) << "a look that is done stays done";
    std::vector<std::string> expected;
    for (int n = 0; n < 50; n += 7)
        expected.push_back(std::to_string(n) + ".keep");
    std::vector<std::string> found = look.kept();
    std::erase(found, "late.keep"); // the folder may or may not show it yet
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(std::is_sorted(look.kept().begin(), look.kept().end()));
    EXPECT_NE(look.identity(), FileIdentity::Now(dir.path()));
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
