#include "storage/atomic_file.h"

#include "storage/copy_ahead.h"
#include "storage/direct_blocks.h"
#include "storage/large_pages.h"
#include "storage/late_close.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <random>
#include <sys/stat.h>
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

// The test seam: which step fails, after how many more of its kind.
std::atomic<int> g_faultStep{-1};
std::atomic<int> g_faultCountdown{0};
std::atomic<int> g_faultError{0};
std::atomic<bool> g_faultFired{false};

// True, with errno set, when the armed fault falls on this step.
bool Refused(FileStep step) {
    if (g_faultStep.load(std::memory_order_relaxed) != static_cast<int>(step))
        return false;
    if (g_faultCountdown.fetch_sub(1) != 1)
        return false;
    g_faultFired = true;
    errno = g_faultError.load();
    return true;
}

std::error_code WriteAll(int fd, std::string_view bytes) {
    if (Refused(FileStep::Write))
        return LastError();
    return WriteFully(fd, bytes);
}

// Flushes and closes the descriptor, which is released either way.
std::error_code FlushAndClose(FileDescriptor& fd) {
    if (Refused(FileStep::Flush) || ::fsync(fd.get()) != 0) {
        const auto error = LastError();
        ::close(fd.release());
        return error;
    }
    if (::close(fd.release()) != 0)
        return LastError();
    return {};
}

constexpr std::string_view kTemporaryMarker = ".stanzel-tmp-";

// ".<name>.stanzel-tmp-<pid>-<seed>-<counter>" beside the target: hidden, and
// a name no other writer, and no user, picks.
std::filesystem::path TemporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::string name = ".";
    name += target.filename().string();
    name += kTemporaryMarker;
    name +=
        std::to_string(::getpid()) + "-" + std::to_string(seed) + "-" + std::to_string(counter++);
    return target.parent_path() / name;
}

// The process that made a temporary file of that name; nothing for any name
// TemporaryName does not make. Numbers too large for a process id are no id.
std::optional<pid_t> TemporaryFileOwner(std::string_view name) {
    const auto marker = name.rfind(kTemporaryMarker);
    if (!name.starts_with('.') || marker == std::string_view::npos || marker < 2)
        return std::nullopt;
    std::string_view rest = name.substr(marker + kTemporaryMarker.size());
    std::array<std::string_view, 3> numbers;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto dash = i + 1 < numbers.size() ? rest.find('-') : rest.size();
        if (dash == std::string_view::npos || dash == 0)
            return std::nullopt;
        numbers[i] = rest.substr(0, dash);
        rest.remove_prefix(std::min(rest.size(), dash + 1));
        for (char c : numbers[i])
            if (c < '0' || c > '9')
                return std::nullopt;
    }
    constexpr pid_t kLargestPid = std::numeric_limits<pid_t>::max();
    pid_t pid = 0;
    for (char c : numbers[0]) {
        const int digit = c - '0';
        if (pid > (kLargestPid - digit) / 10)
            return std::nullopt;
        pid = pid * 10 + digit;
    }
    if (pid <= 0)
        return std::nullopt;
    return pid;
}

// A folder as parent_path() gives it: empty for the current one.
void SyncFolder(std::filesystem::path directory) {
    if (directory.empty())
        directory = ".";
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

class NotRegularCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "stanzel-file"; }
    std::string message(int) const override { return "Not a regular file"; }
};

std::filesystem::path ResolveLink(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        auto target = std::filesystem::weakly_canonical(path, error);
        if (!error)
            return target;
    }
    return path;
}

// The error of the open that made `fd`, or of what it opened if that is not a
// regular file: a FIFO or device opened with O_NONBLOCK is refused here rather
// than read or written. `info` is left with what fstat said.
std::error_code RegularFileOpened(const FileDescriptor& fd, struct stat& info) {
    if (fd.get() < 0)
        return LastError();
    if (::fstat(fd.get(), &info) != 0)
        return LastError();
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                     : NotARegularFile();
    return {};
}

} // namespace

std::error_code ReadFileInto(const std::filesystem::path& path, std::string& bytes) {
    // Opening a FIFO without O_NONBLOCK waits for a writer; with it, the
    // open returns at once and the check below refuses the FIFO.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (const auto error = RegularFileOpened(fd, info)) {
        bytes.clear();
        return error;
    }
    // Read straight into the buffer; the size is only a first guess, since
    // the file may change while it is read. A buffer kept from an earlier
    // read of the file is only ever grown, never filled with zeros again
    // first: the read overwrites it.
    std::size_t filled = 0;
    const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    const std::size_t room = expected > 0 ? expected + 1 : 1 << 16;
    if (bytes.size() < room) {
        // What the buffer held is of no use: growing it copies nothing.
        if (bytes.capacity() < room)
            bytes.clear();
        ReserveLarge(bytes, room);
        bytes.resize(room);
    }
    for (;;) {
        if (filled == bytes.size()) {
            ReserveLarge(bytes, bytes.size() * 2);
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const auto error = LastError();
            bytes.clear();
            return error;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return {};
}

FileContents ReadWholeFile(const std::filesystem::path& path) {
    FileContents result;
    result.error = ReadFileInto(path, result.bytes);
    return result;
}

FileReplacement::FileReplacement() {
    LetGoOfReplacedFiles();
}

FileReplacement::~FileReplacement() {
    abandon();
    for (const Pending& file : files_)
        if (!file.temporary.empty())
            ::unlink(file.temporary.c_str());
}

std::error_code FileReplacement::Prepare(const std::filesystem::path& path, std::string_view bytes,
                                         const std::string* previous) {
    const bool copied = open_ && open_->copy && open_->file.path == path;
    // A file that would come out as it stands is left alone, so that a
    // command that changes nothing in a read-only collection does not fail.
    if (previous && *previous == bytes && std::filesystem::exists(path)) {
        if (copied)
            abandon();
        return {};
    }
    if (copied)
        return prepareCopied(bytes, previous);
    // Through the cache: the files a command replaces whole are read again
    // by the next.
    if (const auto error = begin(path, previous, false))
        return error;
    if (const auto error = Write(bytes))
        return error;
    return End();
}

std::error_code FileReplacement::Begin(const std::filesystem::path& path,
                                       const std::string* previous) {
    return begin(path, previous, true);
}

void FileReplacement::CopyAhead(const std::filesystem::path& path,
                                std::shared_ptr<const std::string> previous) {
    abandon();
    if (!previous || previous->empty() || createTemporary(path, previous.get()))
        return;
    open_->copy = std::make_unique<CopyAheadWriter>(open_->fd, std::move(previous));
}

void FileReplacement::CopyAheadUpTo(const std::filesystem::path& path, std::size_t end) {
    if (open_ && open_->copy && open_->file.path == path)
        open_->copy->limit(end);
}

std::error_code FileReplacement::prepareCopied(std::string_view bytes,
                                               const std::string* previous) {
    // The steps a test may refuse come in the order of any other Prepare.
    if (Refused(FileStep::Create) || Refused(FileStep::Write)) {
        const auto error = LastError();
        abandon();
        return error;
    }
    open_->file.previous = previous;
    const auto error = open_->copy->finish(bytes);
    open_->copy.reset();
    if (error) {
        abandon();
        return error;
    }
    return End();
}

std::error_code FileReplacement::begin(const std::filesystem::path& path,
                                       const std::string* previous, bool pastTheCache) {
    abandon();
    WaitUntilReplacedFilesClosed();
    if (Refused(FileStep::Create))
        return LastError();
    if (const auto error = createTemporary(path, previous))
        return error;
    // A file system that cannot write past its cache refuses the flag, and
    // the document goes through the cache as any other file.
    if (pastTheCache)
        open_->blocks = DirectBlocks::Start(open_->fd);
    return {};
}

std::error_code FileReplacement::createTemporary(const std::filesystem::path& path,
                                                 const std::string* previous) {
    Open open;
    open.file.path = path;
    open.file.target = ResolveLink(path);
    open.file.previous = previous;
    struct stat existing {};
    open.file.existed = ::stat(open.file.target.c_str(), &existing) == 0;
    open.file.temporary = TemporaryName(open.file.target);
    // A new file gets the permissions any new file gets (0666 narrowed by the
    // umask); a replaced one keeps its own.
    open.fd = ::open(open.file.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                     open.file.existed ? 0600 : 0666);
    if (open.fd < 0)
        return LastError();
    open_ = std::move(open);
    if (open_->file.existed && ::fchmod(open_->fd, existing.st_mode & 07777) != 0) {
        const auto error = LastError();
        abandon();
        return error;
    }
    return {};
}

std::error_code FileReplacement::Write(std::string_view bytes) {
    if (!open_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (Refused(FileStep::Write)) {
        const auto error = LastError();
        abandon();
        return error;
    }
    if (open_->blocks) {
        if (const auto error = open_->blocks->add(bytes)) {
            abandon();
            return error;
        }
        return {};
    }
    if (const auto error = WriteFully(open_->fd, bytes)) {
        abandon();
        return error;
    }
    // A large document goes to the disk while the rest is made, rather than
    // all of it at the flush in End.
    constexpr std::size_t kWriteBehind = 8 << 20;
    open_->written += bytes.size();
    if (open_->written - open_->sent >= kWriteBehind) {
        ::sync_file_range(open_->fd, static_cast<off_t>(open_->sent),
                          static_cast<off_t>(open_->written - open_->sent), SYNC_FILE_RANGE_WRITE);
        open_->sent = open_->written;
    }
    return {};
}

std::error_code FileReplacement::End() {
    if (!open_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (open_->blocks) {
        const auto error = open_->blocks->finish();
        open_->blocks.reset();
        if (error) {
            abandon();
            return error;
        }
    }
    FileDescriptor fd(std::exchange(open_->fd, -1));
    if (const auto error = FlushAndClose(fd)) {
        abandon();
        return error;
    }
    files_.push_back(std::move(open_->file));
    open_.reset();
    return {};
}

void FileReplacement::abandon() {
    if (!open_)
        return;
    // Their threads may be writing to the file.
    open_->blocks.reset();
    open_->copy.reset();
    if (open_->fd >= 0)
        ::close(open_->fd);
    ::unlink(open_->file.temporary.c_str());
    open_.reset();
}

void FileReplacement::Remove(const std::filesystem::path& path) {
    removals_.push_back(path);
}

std::optional<FileReplacement::Failure> FileReplacement::Commit() {
    abandon(); // a file begun and never ended, or copied ahead and never prepared
    std::vector<Pending*> order;
    for (Pending& file : files_)
        if (!file.existed)
            order.push_back(&file);
    for (Pending& file : files_)
        if (file.existed)
            order.push_back(&file);

    // Each file replaced stays open until the next replacement, so that the
    // rename does not wait for its blocks to be freed (late_close.h).
    struct ReplacedFiles {
        std::vector<int> fds;
        ~ReplacedFiles() {
            for (const int fd : fds)
                HoldReplacedFile(fd);
        }
    } replaced;
    std::vector<const Pending*> done;
    for (Pending* file : order) {
        if (file->existed)
            replaced.fds.push_back(::open(file->target.c_str(), O_PATH | O_CLOEXEC));
        if (Refused(FileStep::Rename) ||
            ::rename(file->temporary.c_str(), file->target.c_str()) != 0) {
            const auto error = LastError();
            putBack(done);
            return Failure{file->path, error};
        }
        file->temporary.clear();
        done.push_back(file);
    }
    for (const auto& path : removals_) {
        if (Refused(FileStep::Remove) || (::unlink(path.c_str()) != 0 && errno != ENOENT)) {
            const auto error = LastError();
            putBack(done);
            return Failure{path, error, true};
        }
    }
    // The renames and removals themselves must reach the disk, or a power
    // cut could bring back the old file after the user was told the new one
    // is saved. Done last, so that a crash finds the files changed as close
    // together as they can be.
    std::vector<std::filesystem::path> folders;
    for (const Pending* file : done)
        folders.push_back(file->target.parent_path());
    for (const auto& path : removals_)
        folders.push_back(path.parent_path());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const auto& folder : folders)
        SyncFolder(folder);
    return std::nullopt;
}

void FileReplacement::putBack(const std::vector<const Pending*>& done) {
    for (auto file = done.rbegin(); file != done.rend(); ++file) {
        if (!(*file)->existed)
            ::unlink((*file)->target.c_str());
        else if ((*file)->previous)
            ReplaceFileAtomically((*file)->target, *(*file)->previous);
    }
}

std::error_code ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    FileReplacement replacement;
    if (const auto error = replacement.Prepare(path, bytes))
        return error;
    if (const auto failure = replacement.Commit())
        return failure->error;
    return {};
}

std::error_code OverwriteFileInPlace(const std::filesystem::path& path, std::string_view bytes) {
    if (Refused(FileStep::Create))
        return LastError();
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (const auto error = RegularFileOpened(fd, info))
        return error;
    if (::ftruncate(fd.get(), 0) != 0)
        return LastError();
    if (const auto error = WriteAll(fd.get(), bytes))
        return error;
    return FlushAndClose(fd);
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    // The poems' folder of a large collection holds a hundred thousand names
    // and more: each is looked at only as far as its first letter, since the
    // temporary files are hidden.
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            continue;
        const auto owner = TemporaryFileOwner(entry->d_name);
        if (!owner || *owner == ::getpid())
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        if (::kill(*owner, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

std::string DescribeError(const std::error_code& error) {
    std::string text = error.message();
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

std::error_code NotARegularFile() {
    static const NotRegularCategory category;
    return {1, category};
}

namespace file_faults {

void Arm(FileStep step, int occurrence, int error) {
    g_faultFired = false;
    g_faultError = error;
    g_faultCountdown = occurrence;
    g_faultStep = static_cast<int>(step);
}

void Disarm() {
    g_faultStep = -1;
    g_faultFired = false;
}

bool Fired() {
    return g_faultFired;
}

} // namespace file_faults

} // namespace stanzel
