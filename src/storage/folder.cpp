#include "storage/folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

Folder::Folder(int fd, std::filesystem::path opened, std::error_code error)
    : fd_(fd), opened_(std::move(opened)), openError_(error) {}

std::shared_ptr<const Folder> Folder::Open(const std::filesystem::path& path) {
    const std::filesystem::path shown = path.empty() ? std::filesystem::path(".") : path;
    const int fd = ::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::error_code error = fd < 0 ? std::error_code(errno, std::generic_category())
                                         : std::error_code();
    return std::shared_ptr<const Folder>(new Folder(fd, shown, error));
}

Folder::~Folder() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::filesystem::path Folder::path() const {
    if (fd_ >= 0) {
        std::error_code error;
        auto now = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd_), error);
        // A folder deleted while open reads "... (deleted)", which names nothing.
        if (!error && now.is_absolute() && !now.string().ends_with(" (deleted)"))
            return now;
    }
    return std::filesystem::absolute(opened_);
}

FileRef::FileRef(const std::filesystem::path& path)
    : folder(Folder::Open(path.parent_path())), name(path.filename().string()) {
    if (name.empty())
        name = "."; // "poems/" names the folder itself
}

std::string FileRef::parentName() const {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? std::string(".") : name.substr(0, slash);
}

std::string FileRef::fileName() const {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool SameFile(const FileRef& a, const FileRef& b) {
    if (a.name != b.name)
        return false;
    if (a.folder == b.folder)
        return true;
    struct stat first {};
    struct stat second {};
    return ::fstat(a.dirFd(), &first) == 0 && ::fstat(b.dirFd(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

FileIdentity FileIdentity::Of(const struct stat& info) {
    FileIdentity identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedSeconds = info.st_mtim.tv_sec;
    identity.modifiedNanoseconds = info.st_mtim.tv_nsec;
    identity.changedSeconds = info.st_ctim.tv_sec;
    identity.changedNanoseconds = info.st_ctim.tv_nsec;
    identity.exists = true;
    return identity;
}

FileIdentity FileIdentity::Now(const FileRef& file) {
    struct stat info {};
    if (::fstatat(file.dirFd(), file.name.c_str(), &info, 0) != 0)
        return {};
    return Of(info);
}

} // namespace stanzel
