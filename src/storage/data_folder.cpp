#include "storage/data_folder.h"

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

} // namespace

std::filesystem::path ChooseDataFolder(const std::filesystem::path& programDir,
                                       const std::filesystem::path& userDataDir) {
    if (!IsSystemFolder(programDir) && ::access(programDir.c_str(), W_OK) == 0)
        return programDir;
    std::error_code ignored;
    std::filesystem::create_directories(userDataDir, ignored);
    return userDataDir;
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
    const auto path = dataFolder / ".stanzel.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return CollectionLock(-1); // a folder that takes no lock file cannot be shared either
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return CollectionLock(fd);
}

CollectionLock::CollectionLock(CollectionLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

CollectionLock::~CollectionLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace stanzel
