#include "storage/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace stanzel {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Closes the descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::error_code WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// A name beside the target that no other writer picks.
std::filesystem::path TemporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::filesystem::path name = target;
    name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(seed) + "-" +
            std::to_string(counter++);
    return name;
}

std::filesystem::path ResolveLink(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        auto target = std::filesystem::weakly_canonical(path, error);
        if (!error)
            return target;
    }
    return path;
}

// Reads `count` bytes at `offset`; false when the file holds fewer or fails.
bool ReadAt(int fd, char* into, std::size_t count, std::size_t offset) {
    while (count > 0) {
        const ssize_t got = ::pread(fd, into, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        offset += static_cast<std::size_t>(got);
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

FileContents ReadWholeFile(const std::filesystem::path& path) {
    FileContents result;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        result.error = LastError();
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        result.error = std::make_error_code(std::errc::is_a_directory);
        return result;
    }
    // Read straight into the result; the size is only a first guess, since
    // the file may change while it is read.
    std::size_t filled = 0;
    const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    result.bytes.resize(expected > 0 ? expected + 1 : 1 << 16);
    // A large file (a big collection's index) is read in two halves at once.
    constexpr std::size_t kWorthSplitting = 4 << 20;
    if (expected >= kWorthSplitting) {
        const std::size_t half = expected / 2;
        bool secondRead = false;
        std::thread second([&] {
            secondRead = ReadAt(fd.get(), result.bytes.data() + half, expected - half, half);
        });
        const bool firstRead = ReadAt(fd.get(), result.bytes.data(), half, 0);
        second.join();
        // Whatever is added meanwhile follows; a file that shrank is read again.
        filled = firstRead && secondRead ? expected : 0;
        ::lseek(fd.get(), static_cast<off_t>(filled), SEEK_SET);
    }
    for (;;) {
        if (filled == result.bytes.size())
            result.bytes.resize(result.bytes.size() * 2);
        const ssize_t got =
            ::read(fd.get(), result.bytes.data() + filled, result.bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = LastError();
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    result.bytes.resize(filled);
    return result;
}

std::error_code ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = ResolveLink(path);
    const std::filesystem::path temporary = TemporaryName(target);

    mode_t mode = 0666; // narrowed by the umask, as for any new file
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;

    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             replacing ? 0600 : mode));
    if (fd.get() < 0)
        return LastError();

    auto fail = [&](std::error_code error) {
        ::close(fd.release());
        ::unlink(temporary.c_str());
        return error;
    };
    if (replacing && ::fchmod(fd.get(), existing.st_mode & 07777) != 0)
        return fail(LastError());
    if (auto error = WriteAll(fd.get(), bytes))
        return fail(error);
    if (::fsync(fd.get()) != 0)
        return fail(LastError());
    if (::close(fd.release()) != 0) {
        const auto error = LastError();
        ::unlink(temporary.c_str());
        return error;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const auto error = LastError();
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself must reach the disk, or a power cut could bring back
    // the old file after the user was told the new one is saved.
    auto directory = target.parent_path();
    if (directory.empty())
        directory = ".";
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return {};
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        // <name>.tmp-<pid>-<seed>-<counter>, as TemporaryName makes them.
        const std::string name = entries->path().filename().string();
        const auto marker = name.rfind(".tmp-");
        if (marker == std::string::npos)
            continue;
        const std::string_view rest = std::string_view(name).substr(marker + 5);
        const auto dash = rest.find('-');
        if (dash == std::string_view::npos || dash == 0)
            continue;
        pid_t pid = 0;
        bool digits = true;
        for (char c : rest.substr(0, dash)) {
            digits = digits && c >= '0' && c <= '9';
            pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            std::filesystem::remove(entries->path(), ignored);
        }
    }
}

std::string DescribeError(const std::error_code& error) {
    std::string text = error.message();
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

} // namespace stanzel
