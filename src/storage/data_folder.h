#pragma once

#include <filesystem>
#include <optional>

namespace stanzel {

// The folder that holds the collection: the program's own folder for a
// portable copy the user may write to; for a system-wide install (under
// /usr, or a folder the user may not write to) the user's own data folder,
// with the same files and layout.
std::filesystem::path ChooseDataFolder(const std::filesystem::path& programDir,
                                       const std::filesystem::path& userDataDir);

// Copies the language files a system-wide install ships into the user's
// language folder, leaving alone every file the user already has.
void CopyMissingLanguageFiles(const std::filesystem::path& shippedDir,
                              const std::filesystem::path& languageDir);

// Holds a collection for one running program. Two windows on one collection
// would overwrite each other's index; the lock goes with the process, so a
// crash never leaves it stuck.
class CollectionLock {
public:
    // Nothing when another running program holds the collection.
    static std::optional<CollectionLock> Acquire(const std::filesystem::path& dataFolder);

    CollectionLock(CollectionLock&& other) noexcept;
    CollectionLock& operator=(CollectionLock&&) = delete;
    CollectionLock(const CollectionLock&) = delete;
    ~CollectionLock();

private:
    explicit CollectionLock(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace stanzel
