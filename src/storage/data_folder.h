#pragma once

#include "storage/folder.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace stanzel {

// The folder that holds the collection: the program's own folder for a
// portable copy that holds a collection ("poems.dmp" or "poems/"), even one
// the user may not write to, or that the user may write to; for a system-wide
// install (under /usr, or an empty folder the user may not write to) the
// user's own data folder, with the same files and layout.
std::filesystem::path ChooseDataFolder(const std::filesystem::path& programDir,
                                       const std::filesystem::path& userDataDir);

// Where an installed program ships its language files: "<prefix>/share/
// stanzel/lang" for a program in "<prefix>/bin". Nothing for a portable copy,
// which never reads outside its own folder.
std::optional<std::filesystem::path> ShippedLanguageFolder(const std::filesystem::path& programDir);

// Copies the language files a system-wide install ships into the user's
// language folder, leaving alone every file the user already has.
void CopyMissingLanguageFiles(const std::filesystem::path& shippedDir,
                              const std::filesystem::path& languageDir);

// Holds a collection for one running program. Two windows on one collection
// would overwrite each other's index; the lock goes with the process, so a
// crash never leaves it stuck. The lock is held on the folder held open for
// the run, the one every file of the collection is reached through.
class CollectionLock {
public:
    // Nothing when another running program holds the collection.
    static std::optional<CollectionLock> Acquire(const std::filesystem::path& dataFolder);

    const std::shared_ptr<const Folder>& folder() const { return folder_; }

private:
    explicit CollectionLock(std::shared_ptr<const Folder> folder) : folder_(std::move(folder)) {}
    std::shared_ptr<const Folder> folder_;
};

} // namespace stanzel
