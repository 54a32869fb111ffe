#include "storage/atomic_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace stanzel {

namespace {

// A link where a file below the collection folder should be (O_NOFOLLOW)
// reads as what it is to the program: no regular file.
std::error_code LastError() {
    return errno == ELOOP ? NotARegularFile() : std::error_code(errno, std::generic_category());
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
std::function<void()> g_beforeRenames;

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

std::error_code WriteAll(int fd, std::span<const std::string_view> pieces) {
    if (Refused(FileStep::Write))
        return LastError();
    std::vector<iovec> left;
    for (const auto piece : pieces)
        if (!piece.empty())
            left.push_back({const_cast<char*>(piece.data()), piece.size()});
    std::size_t first = 0;
    while (first < left.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(left.size() - first, IOV_MAX));
        const ssize_t written = ::writev(fd, left.data() + first, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        auto done = static_cast<std::size_t>(written);
        while (first < left.size() && done >= left[first].iov_len)
            done -= left[first++].iov_len;
        if (first < left.size()) {
            left[first].iov_base = static_cast<char*>(left[first].iov_base) + done;
            left[first].iov_len -= done;
        }
    }
    return {};
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
std::string TemporaryName(const FileRef& target) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::string name = target.parentName() == "." ? "" : target.parentName() + "/";
    name += '.';
    name += target.fileName();
    name += kTemporaryMarker;
    name +=
        std::to_string(::getpid()) + "-" + std::to_string(seed) + "-" + std::to_string(counter++);
    return name;
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
    pid_t pid = 0;
    const auto [end, error] =
        std::from_chars(numbers[0].data(), numbers[0].data() + numbers[0].size(), pid);
    if (error != std::errc() || pid <= 0)
        return std::nullopt;
    return pid;
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

bool SameBytes(std::span<const std::string_view> pieces, const std::string& previous) {
    std::size_t size = 0;
    for (const auto piece : pieces)
        size += piece.size();
    if (size != previous.size())
        return false;
    std::size_t at = 0;
    for (const auto piece : pieces) {
        // A piece cut from the previous text where it stood is the same.
        if (piece.data() != previous.data() + at &&
            std::string_view(previous).substr(at, piece.size()) != piece)
            return false;
        at += piece.size();
    }
    return true;
}

} // namespace

FileReader::FileReader(const FileRef& file) {
    // Opening a FIFO without O_NONBLOCK waits for a writer; with it, the
    // open returns at once and the check below refuses the FIFO.
    FileDescriptor fd(OpenInFolder(file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    error_ = RegularFileOpened(fd, info);
    if (!error_) {
        identity_ = FileIdentity::Of(info);
        fd_ = fd.release();
    }
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileReader::ReadSome(std::string& bytes, std::size_t most) {
    if (fd_ < 0)
        return false;
    // Into room for the whole file at the size it had when opened, made
    // once. Past it through a small buffer: the read that finds the end, or
    // a file that grew meanwhile, must not double a large text.
    if (const auto size = static_cast<std::size_t>(std::max<long long>(0, identity_.size));
        bytes.capacity() < size)
        bytes.reserve(size);
    const std::size_t filled = bytes.size();
    const std::size_t room = bytes.capacity() - filled;
    char more[1 << 16];
    const bool intoRoom = room >= sizeof more;
    most = std::min(most, intoRoom ? room : sizeof more);
    if (intoRoom)
        bytes.resize(filled + most);
    ssize_t got = 0;
    do {
        got = ::read(fd_, intoRoom ? bytes.data() + filled : more, most);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        error_ = LastError();
    const auto read = static_cast<std::size_t>(std::max<ssize_t>(got, 0));
    if (intoRoom)
        bytes.resize(filled + read);
    else
        bytes.append(more, read);
    return read > 0;
}

bool FileReader::ChangedSinceOpened() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return false;
    return FileIdentity::Of(info) != identity_;
}

FileContents ReadWholeFile(const FileRef& file) {
    FileContents result;
    FileReader reader(file);
    if (reader.error()) {
        result.error = reader.error();
        return result;
    }
    result.identity = reader.identity();
    while (reader.ReadSome(result.bytes, std::numeric_limits<std::size_t>::max())) {
    }
    if (reader.error()) {
        result.error = reader.error();
        result.bytes.clear();
    }
    return result;
}

FileReplacement::~FileReplacement() {
    abandon();
    for (const Pending& file : files_)
        if (!file.temporary.empty())
            RemoveInFolder(FileRef(file.target.folder, file.temporary));
}

std::error_code FileReplacement::Prepare(const FileRef& file, std::string_view bytes,
                                         const std::string* previous) {
    const std::string_view pieces[] = {bytes};
    return Prepare(file, pieces, previous);
}

std::error_code FileReplacement::Prepare(const FileRef& file,
                                         std::span<const std::string_view> pieces,
                                         const std::string* previous) {
    // A file that would come out as it stands is left alone, so that a
    // command that changes nothing in a read-only collection does not fail.
    if (previous && SameBytes(pieces, *previous) && FileIdentity::Now(file).exists)
        return {};
    if (const auto error = Begin(file, previous))
        return error;
    if (const auto error = writeOut(pieces))
        return error;
    return End();
}

void FileReplacement::ExpectUnchanged(const FileRef& file, const FileIdentity& identity) {
    expected_.push_back({file, identity});
}

std::error_code FileReplacement::Begin(const FileRef& file, const std::string* previous) {
    abandon();
    if (Refused(FileStep::Create))
        return LastError();
    // A link in the file's place is replaced itself: nothing outside the
    // folder is ever written through it.
    Open open{Pending{file, file, {}, false, nullptr, {}}, -1};
    open.file.previous = previous;
    struct stat existing {};
    open.file.existed = StatNameInFolder(file, existing);
    const bool keepMode = open.file.existed && S_ISREG(existing.st_mode);
    open.file.temporary = TemporaryName(open.file.target);
    // A new file gets the permissions any new file gets (0666 narrowed by the
    // umask); a replaced one keeps its own.
    open.fd = OpenInFolder(FileRef(open.file.target.folder, open.file.temporary),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode ? 0600 : 0666);
    if (open.fd < 0)
        return LastError();
    open_ = std::move(open);
    if (keepMode && ::fchmod(open_->fd, existing.st_mode & 07777) != 0) {
        const auto error = LastError();
        abandon();
        return error;
    }
    return {};
}

std::error_code FileReplacement::writeOut(std::span<const std::string_view> pieces) {
    if (!open_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (const auto error = WriteAll(open_->fd, pieces)) {
        abandon();
        return error;
    }
    return {};
}

std::error_code FileReplacement::Write(std::string_view bytes) {
    const std::string_view pieces[] = {bytes};
    return writeOut(pieces);
}

std::error_code FileReplacement::End() {
    if (!open_)
        return std::make_error_code(std::errc::bad_file_descriptor);
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
    if (open_->fd >= 0)
        ::close(open_->fd);
    RemoveInFolder(FileRef(open_->file.target.folder, open_->file.temporary));
    open_.reset();
}

void FileReplacement::Remove(const FileRef& file) {
    removals_.push_back(file);
}

FileReplacement::Placed FileReplacement::PlaceFile(const Pending& file,
                                                   const FileIdentity* expected) {
    if (Refused(FileStep::Rename))
        return Placed::Failed;
    // Both names within the file's own folder, reached without a link.
    const FileParent parent(file.target);
    if (parent.fd() < 0) {
        const auto why = parent.error();
        errno = why.category() == std::generic_category() ? why.value() : ELOOP;
        return Placed::Failed;
    }
    const int dir = parent.fd();
    const std::string temporaryName = FileRef(file.target.folder, file.temporary).fileName();
    const char* const temporary = temporaryName.c_str();
    const char* const target = parent.leaf();
    if (expected && !expected->exists) {
        if (::renameat2(dir, temporary, dir, target, RENAME_NOREPLACE) == 0)
            return Placed::Done;
        if (errno == EEXIST)
            return Placed::ChangedMeanwhile;
    } else if (expected) {
        if (::renameat2(dir, temporary, dir, target, RENAME_EXCHANGE) == 0) {
            struct stat info {};
            // What was taken out is looked at as the expected identity was:
            // a link the user made in the index's place, through the link.
            const int follow = parent.noFollow() ? AT_SYMLINK_NOFOLLOW : 0;
            const bool same = ::fstatat(dir, temporary, &info, follow) == 0 &&
                              SameVersion(FileIdentity::Of(info), *expected);
            if (same) {
                ::unlinkat(dir, temporary, 0);
                return Placed::Done;
            }
            if (::renameat2(dir, temporary, dir, target, RENAME_EXCHANGE) == 0) {
                ::unlinkat(dir, temporary, 0);
                return Placed::ChangedMeanwhile;
            }
            // Should the other version not go back, it stays beside the
            // target rather than be removed.
            return Placed::Done;
        }
    }
    // A file system without these renames (some network and FUSE ones)
    // falls back to the plain one, and the check above alone.
    if (expected && errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Placed::Failed;
    return ::renameat(dir, temporary, dir, target) == 0 ? Placed::Done : Placed::Failed;
}

std::optional<FileReplacement::Failure> FileReplacement::Commit() {
    abandon(); // a file begun and never ended
    if (g_beforeRenames)
        std::exchange(g_beforeRenames, nullptr)();
    const auto changedMeanwhile = [](const FileRef& file) {
        return Failure{file, file.path(),
                       std::make_error_code(std::errc::resource_unavailable_try_again), false,
                       true};
    };
    for (const Expected& expected : expected_) {
        if (FileIdentity::Now(expected.file) != expected.identity)
            return changedMeanwhile(expected.file);
    }
    std::vector<Pending*> order;
    for (Pending& file : files_)
        order.push_back(&file);
    std::stable_partition(order.begin(), order.end(),
                          [](const Pending* file) { return !file->existed; });

    std::vector<const Pending*> done;
    for (Pending* file : order) {
        const auto expected = std::find_if(expected_.begin(), expected_.end(), [&](const auto& e) {
            return e.file.folder == file->named.folder && e.file.name == file->named.name;
        });
        // The check above and the rename are two steps; another program's
        // file placed between them would be replaced unseen. So an expected
        // file is exchanged with its new version, and the one taken out must
        // be the version expected, else it goes back; a file that was not
        // there must still not be.
        struct stat written {};
        StatNameInFolder(FileRef(file->target.folder, file->temporary), written);
        const auto placed = expected == expected_.end() ? PlaceFile(*file, nullptr)
                                                        : PlaceFile(*file, &expected->identity);
        if (placed == Placed::ChangedMeanwhile) {
            putBack(done);
            return changedMeanwhile(file->named);
        }
        if (placed == Placed::Failed) {
            const auto error = LastError();
            putBack(done);
            return Failure{file->named, file->named.path(), error};
        }
        file->temporary.clear();
        // Should another program's file have come in right after the rename,
        // the identity kept is still this one's, so that the next look reads
        // the other file rather than take it for the one written here.
        file->placed = FileIdentity::Now(file->target);
        if (file->placed.inode != written.st_ino || file->placed.device != written.st_dev)
            file->placed = FileIdentity::Of(written);
        done.push_back(file);
    }
    for (const auto& file : removals_) {
        if (Refused(FileStep::Remove) || (RemoveInFolder(file) != 0 && errno != ENOENT)) {
            const auto error = LastError();
            putBack(done);
            return Failure{file, file.path(), error, true};
        }
    }
    // The renames and removals themselves must reach the disk, or a power
    // cut could bring back the old file after the user was told the new one
    // is saved. Done last, so that a crash finds the files changed as close
    // together as they can be.
    std::vector<std::pair<const Folder*, std::string>> synced;
    const auto sync = [&](const FileRef& file) {
        const std::pair<const Folder*, std::string> folder{file.folder.get(), file.parentName()};
        if (std::find(synced.begin(), synced.end(), folder) != synced.end())
            return;
        synced.push_back(folder);
        if (const FileParent parent(file); parent.fd() >= 0)
            ::fsync(parent.fd());
    };
    for (const Pending* file : done)
        sync(file->target);
    for (const auto& file : removals_)
        sync(file);
    return std::nullopt;
}

FileIdentity FileReplacement::PlacedIdentity(const FileRef& file) const {
    for (const Pending& pending : files_) {
        if (pending.target.folder == file.folder && pending.target.name == file.name)
            return pending.placed;
    }
    // A file left as it was is still the version the commit was held to,
    // whatever came in since: that one has not been read.
    for (const Expected& expected : expected_) {
        if (expected.file.folder == file.folder && expected.file.name == file.name)
            return expected.identity;
    }
    return FileIdentity::Now(file);
}

void FileReplacement::putBack(const std::vector<const Pending*>& done) {
    for (auto file = done.rbegin(); file != done.rend(); ++file) {
        if (!(*file)->existed)
            RemoveInFolder((*file)->target);
        else if ((*file)->previous)
            ReplaceFileAtomically((*file)->target, *(*file)->previous);
    }
}

std::error_code ReplaceFileAtomically(const FileRef& file, std::string_view bytes) {
    FileReplacement replacement;
    if (const auto error = replacement.Prepare(file, bytes))
        return error;
    if (const auto failure = replacement.Commit())
        return failure->error;
    return {};
}

std::error_code OverwriteFileInPlace(const FileRef& file, std::string_view bytes) {
    if (Refused(FileStep::Create))
        return LastError();
    // Never through a link: the file written is the one named.
    FileDescriptor fd(
        OpenInFolder(file, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (const auto error = RegularFileOpened(fd, info))
        return error;
    if (::ftruncate(fd.get(), 0) != 0)
        return LastError();
    const std::string_view pieces[] = {bytes};
    if (const auto error = WriteAll(fd.get(), pieces))
        return error;
    return FlushAndClose(fd);
}

FolderLook::FolderLook(const FileRef& folder, Keep keep)
    : keep_(keep), identity_(FileIdentity::Now(folder)) {
    // A link in the folder's place leads to a folder not the program's to tidy.
    const int fd = OpenInFolder(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && !(dir_ = ::fdopendir(fd)))
        ::close(fd);
}

FolderLook::~FolderLook() {
    if (dir_)
        ::closedir(static_cast<DIR*>(dir_));
}

bool FolderLook::LookSome(std::size_t names) {
    DIR* const dir = static_cast<DIR*>(dir_);
    if (!dir)
        return false;
    for (; names > 0; --names) {
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            std::sort(kept_.begin(), kept_.end());
            ::closedir(dir);
            dir_ = nullptr;
            return false;
        }
        if (keep_ && keep_(entry->d_name))
            kept_.emplace_back(entry->d_name);
        // Only hidden names can be temporary files: most names are looked
        // at no further than their first letter.
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
    return true;
}

void RemoveStaleTemporaryFiles(const FileRef& folder) {
    FolderLook look(folder);
    while (look.LookSome(4096)) {
    }
}

std::string DescribeError(const std::error_code& error) {
    std::string text = error.message();
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
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

void BeforeRenames(std::function<void()> meanwhile) {
    g_beforeRenames = std::move(meanwhile);
}

} // namespace file_faults

} // namespace stanzel
