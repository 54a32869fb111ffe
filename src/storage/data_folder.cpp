#include "storage/data_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace stanzel {

namespace {

// Folders of the system itself: even root keeps no poems there.
bool IsSystemFolder(const std::filesystem::path& dir) {
    const std::string text = dir.lexically_normal().string() + "/";
    for (std::string_view prefix : {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib64/"})
        if (text.starts_with(prefix))
            return true;
    return false;
}

bool HoldsCollection(const std::filesystem::path& dir) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(dir / "poems.dmp", error)) ||
           std::filesystem::is_directory(dir / "poems", error);
}

} // namespace

std::filesystem::path ChooseDataFolder(const std::filesystem::path& programDir,
                                       const std::filesystem::path& userDataDir) {
    // A collection is never hidden behind an empty one elsewhere: one that
    // may not be written is still shown, and each write reports its failure.
    if (!IsSystemFolder(programDir) &&
        (HoldsCollection(programDir) || ::access(programDir.c_str(), W_OK) == 0))
        return programDir;
    std::error_code ignored;
    std::filesystem::create_directories(userDataDir, ignored);
    return userDataDir;
}

std::optional<std::filesystem::path> ShippedLanguageFolder(const std::filesystem::path& programDir) {
    const std::filesystem::path dir = programDir.lexically_normal();
    const std::filesystem::path bin = dir.has_filename() ? dir : dir.parent_path();
    if (bin.filename() != "bin")
        return std::nullopt;
    auto shipped = bin.parent_path() / "share" / "stanzel" / "lang";
    std::error_code error;
    if (!std::filesystem::is_directory(shipped, error))
        return std::nullopt;
    return shipped;
}

void CopyMissingLanguageFiles(const std::filesystem::path& shippedDir,
                              const std::filesystem::path& languageDir) {
    std::error_code error;
    std::filesystem::directory_iterator entries(shippedDir, error);
    if (error)
        return;
    std::filesystem::create_directories(languageDir, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (!entries->is_regular_file())
            continue;
        std::error_code ignored;
        std::filesystem::copy_file(entries->path(), languageDir / entries->path().filename(),
                                   std::filesystem::copy_options::skip_existing, ignored);
    }
}

std::optional<CollectionLock> CollectionLock::Acquire(const std::filesystem::path& dataFolder) {
    // The lock is held on the folder itself, which no one deletes while the
    // program runs, as one could delete a lock file; it needs no write
    // permission either.
    auto folder = Folder::Open(dataFolder);
    // A folder that cannot be opened is reported by the start; a file
    // system without locks cannot be shared either.
    if (folder->fd() >= 0 && ::flock(folder->fd(), LOCK_EX | LOCK_NB) != 0 &&
        errno == EWOULDBLOCK)
        return std::nullopt;
    return CollectionLock(std::move(folder));
}

} // namespace stanzel
