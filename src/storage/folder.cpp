#include "storage/folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

Folder::Folder(int fd, std::filesystem::path opened, std::error_code error, bool below)
    : fd_(fd), opened_(std::move(opened)), openError_(error), below_(below) {}

std::shared_ptr<const Folder> Folder::Open(const std::filesystem::path& path) {
    const std::filesystem::path shown = path.empty() ? std::filesystem::path(".") : path;
    const int fd = ::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::error_code error =
        fd < 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
    return std::shared_ptr<const Folder>(new Folder(fd, shown, error));
}

std::shared_ptr<const Folder> Folder::OpenBelow(const FileRef& folder) {
    const FileParent parent(FileRef(folder.folder, folder.name + "/."));
    const int fd = parent.fd() < 0 ? -1 : ::fcntl(parent.fd(), F_DUPFD_CLOEXEC, 0);
    std::error_code error = parent.error();
    if (parent.fd() >= 0 && fd < 0)
        error = std::error_code(errno, std::generic_category());
    return std::shared_ptr<const Folder>(new Folder(fd, folder.path(), error, true));
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
    if (!StatInFolder(file, info))
        return {};
    return Of(info);
}

namespace {

class NotRegularCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "stanzel-file"; }
    std::string message(int) const override { return "Not a regular file"; }
};

} // namespace

std::error_code NotARegularFile() {
    static const NotRegularCategory category;
    return {1, category};
}

FileParent::FileParent(const FileRef& file) : nested_(file.folder->below()) {
    fd_ = file.dirFd();
    if (fd_ < 0) {
        error_ = file.folder->openError() ? file.folder->openError()
                                          : std::make_error_code(std::errc::bad_file_descriptor);
        return;
    }
    std::string_view rest = file.name;
    for (auto slash = rest.find('/'); slash != std::string_view::npos; slash = rest.find('/')) {
        const std::string step(rest.substr(0, slash));
        rest.remove_prefix(slash + 1);
        if (step.empty() || step == ".")
            continue;
        nested_ = true;
        const int next =
            ::openat(fd_, step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int why = errno;
            // O_NOFOLLOW and O_DIRECTORY on a link give ELOOP or ENOTDIR.
            struct stat info {};
            const bool link = ::fstatat(fd_, step.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(info.st_mode);
            // A link met on the way reads as the link it is, not as the
            // system's "Too many levels of symbolic links".
            error_ = link || why == ELOOP ? NotARegularFile()
                                          : std::error_code(why, std::generic_category());
        }
        if (owned_)
            ::close(fd_);
        fd_ = next;
        owned_ = next >= 0;
        if (next < 0)
            return;
    }
    leaf_ = rest.empty() ? std::string(".") : std::string(rest);
}

FileParent::~FileParent() {
    if (owned_)
        ::close(fd_);
}

int FileParent::noFollow() const {
    return nested_ ? O_NOFOLLOW : 0;
}

namespace {

// Runs `operation` on the file's folder, or fails as reaching it failed.
template <typename Operation> int InParent(const FileRef& file, Operation operation) {
    const FileParent parent(file);
    if (parent.fd() < 0) {
        const auto why = parent.error();
        errno = why.category() == std::generic_category() ? why.value() : ELOOP;
        return -1;
    }
    return operation(parent);
}

} // namespace

int OpenInFolder(const FileRef& file, int flags, unsigned mode) {
    return InParent(file, [&](const FileParent& parent) {
        return ::openat(parent.fd(), parent.leaf(), flags | parent.noFollow(), mode);
    });
}

bool StatInFolder(const FileRef& file, struct stat& info) {
    const FileParent parent(file);
    return parent.fd() >= 0 && ::fstatat(parent.fd(), parent.leaf(), &info,
                                         parent.noFollow() ? AT_SYMLINK_NOFOLLOW : 0) == 0;
}

bool StatNameInFolder(const FileRef& file, struct stat& info) {
    const FileParent parent(file);
    return parent.fd() >= 0 &&
           ::fstatat(parent.fd(), parent.leaf(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

int RemoveInFolder(const FileRef& file) {
    return InParent(
        file, [](const FileParent& parent) { return ::unlinkat(parent.fd(), parent.leaf(), 0); });
}

int MakeFolderIn(const FileRef& folder) {
    // mkdirat never follows a link in the new folder's place.
    return InParent(folder, [](const FileParent& parent) {
        return ::mkdirat(parent.fd(), parent.leaf(), 0777);
    });
}

} // namespace stanzel
