#include "storage/data_folder.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stanzel {
namespace {

using testing::ReadBytes;
using testing::TestDir;
using testing::WriteBytes;

TEST(ChooseDataFolder, PortableCopyKeepsItsCollectionBesideIt) {
    TestDir dir;
    EXPECT_EQ(ChooseDataFolder(dir.path(), dir / "user"), dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir / "user"));
}

TEST(ChooseDataFolder, SystemInstallUsesTheUsersFolder) {
    TestDir dir;
    // Even for root, who may write there, a system folder holds no poems.
    EXPECT_EQ(ChooseDataFolder("/usr/bin", dir / "share" / "stanzel"), dir / "share" / "stanzel");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "share" / "stanzel"));
    EXPECT_EQ(ChooseDataFolder("/usr/local/bin/", dir / "u"), dir / "u");
}

TEST(CopyMissingLanguageFiles, KeepsWhatTheUserHas) {
    TestDir dir;
    std::filesystem::create_directories(dir / "shipped");
    WriteBytes(dir / "shipped" / "German.lng", "shipped German");
    WriteBytes(dir / "shipped" / "Hungarian.lng", "shipped Hungarian");
    std::filesystem::create_directories(dir / "lang");
    WriteBytes(dir / "lang" / "German.lng", "the user's own German");
    CopyMissingLanguageFiles(dir / "shipped", dir / "lang");
    EXPECT_EQ(ReadBytes(dir / "lang" / "German.lng"), "the user's own German");
    EXPECT_EQ(ReadBytes(dir / "lang" / "Hungarian.lng"), "shipped Hungarian");
    CopyMissingLanguageFiles(dir / "nothing-shipped", dir / "lang"); // no error
}

TEST(CollectionLock, OneProgramPerCollectionAndNoneStuckAfterACrash) {
    TestDir dir;
    {
        auto first = CollectionLock::Acquire(dir.path());
        ASSERT_TRUE(first);
        EXPECT_FALSE(CollectionLock::Acquire(dir.path()));
    }
    EXPECT_TRUE(CollectionLock::Acquire(dir.path())) << "released with its holder";

    // A holder killed outright leaves nothing that blocks the next start.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto held = CollectionLock::Acquire(dir.path());
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(CollectionLock::Acquire(dir.path()));
}

} // namespace
} // namespace stanzel
