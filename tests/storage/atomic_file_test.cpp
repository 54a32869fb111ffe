#include "storage/atomic_file.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

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

TEST(RemoveStaleTemporaryFiles, OnlyThoseOfProcessesThatAreGone) {
    TestDir dir;
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string mine = ".tmp-" + std::to_string(::getpid()) + "-1-0";
    const std::string dead = ".tmp-" + std::to_string(gone) + "-1-0";
    const std::vector<std::string> kept = {"poems.dmp" + mine, "poems.dmp", "notes.tmp-x-1",
                                           "settings.ini.tmp-1-2-3" /* init never ends */};
    WriteBytes(dir / ("poems.dmp" + dead), "x");
    for (const std::string& name : kept)
        WriteBytes(dir / name, "x");
    RemoveStaleTemporaryFiles(dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir / ("poems.dmp" + dead)));
    for (const std::string& name : kept)
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
}

TEST(ReadWholeFile, ReportsWhyAFileCannotBeRead) {
    TestDir dir;
    EXPECT_TRUE(ReadWholeFile(dir / "none").missing());
    std::filesystem::create_directory(dir / "d");
    const auto directory = ReadWholeFile(dir / "d");
    EXPECT_TRUE(directory.error);
    EXPECT_FALSE(directory.missing());
    std::string binary(300000, '\0');
    binary[12345] = '\xFF';
    WriteBytes(dir / "b", binary);
    EXPECT_EQ(ReadWholeFile(dir / "b").bytes, binary);
    // Large enough to be read in two halves at once.
    std::string large(5'000'003, 'x');
    for (std::size_t i = 0; i < large.size(); i += 4093)
        large[i] = static_cast<char>('a' + i % 26);
    WriteBytes(dir / "large", large);
    EXPECT_EQ(ReadWholeFile(dir / "large").bytes, large);
}

} // namespace
} // namespace stanzel
