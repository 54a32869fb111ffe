#include "storage/data_folder.h"
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

// Runs `check` in a child that has given up root, as a user who may not
// write to a read-only folder; true when every check held.
template <class Check>
bool AsOrdinaryUser(Check check) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ChooseDataFolder, ReadOnlyCollectionIsUsedAndOnlyAnEmptyFolderFallsBack) {
    TestDir dir;
    ::chmod(dir.path().c_str(), 0755);
    for (const char* name : {"index", "texts", "empty"})
        std::filesystem::create_directory(dir / name);
    WriteBytes(dir / "index" / "poems.dmp", "[1]\r\ntitle=Kept\r\n");
    std::filesystem::create_directory(dir / "texts" / "poems");
    std::filesystem::create_directory(dir / "user");
    ::chmod((dir / "user").c_str(), 0777);
    for (const char* name : {"index", "texts", "empty"})
        ::chmod((dir / name).c_str(), 0555);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return ::access((dir / "index").c_str(), W_OK) != 0 &&
               ChooseDataFolder(dir / "index", dir / "user" / "u") == dir / "index" &&
               ChooseDataFolder(dir / "texts", dir / "user" / "u") == dir / "texts" &&
               ChooseDataFolder(dir / "empty", dir / "user" / "u") == dir / "user" / "u";
    }));
}

TEST(ShippedLanguageFolder, OnlyAnInstalledProgramHasOne) {
    TestDir dir;
    std::filesystem::create_directories(dir / "prefix" / "bin");
    std::filesystem::create_directories(dir / "prefix" / "share" / "stanzel" / "lang");
    EXPECT_EQ(ShippedLanguageFolder(dir / "prefix" / "bin"),
              dir / "prefix" / "share" / "stanzel" / "lang");
    EXPECT_EQ(ShippedLanguageFolder(dir / "prefix" / "bin" / ""),
              dir / "prefix" / "share" / "stanzel" / "lang");
    // A portable copy beside a folder of that layout reads nothing from it.
    std::filesystem::create_directories(dir / "home" / "Stanzel");
    std::filesystem::create_directories(dir / "home" / "share" / "stanzel" / "lang");
    EXPECT_FALSE(ShippedLanguageFolder(dir / "home" / "Stanzel"));
    EXPECT_FALSE(ShippedLanguageFolder(dir / "elsewhere" / "bin"));
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

TEST(CollectionLock, NothingCanBeDeletedToAdmitASecondProgram) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", "");
    const auto first = CollectionLock::Acquire(dir.path());
    ASSERT_TRUE(first);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        std::filesystem::remove_all(entry.path());
    EXPECT_FALSE(CollectionLock::Acquire(dir.path()));
}

TEST(CollectionLock, ReadOnlyCollectionIsStillOpened) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", "");
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const auto lock = CollectionLock::Acquire(dir.path());
        return lock && !CollectionLock::Acquire(dir.path());
    }));
}

} // namespace
} // namespace stanzel
