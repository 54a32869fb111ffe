#include "storage/copy_ahead.h"

#include "storage/late_close.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace stanzel {

namespace {

// Each piece is sent on to the disk once written, so that the flush at the
// end finds most of the file there already.
constexpr std::size_t kPiece = 1 << 20;

// Writes `bytes` at `offset` in pieces; `extent` is left at the end of what
// reached the file, even when a write fails part-way.
std::error_code WritePieces(int fd, std::string_view bytes, std::size_t offset,
                            std::size_t& extent) {
    while (!bytes.empty()) {
        const std::size_t size = std::min(kPiece, bytes.size());
        std::size_t done = 0;
        while (done < size) {
            const ssize_t written =
                ::pwrite(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                extent = std::max(extent, offset + done);
                return {errno, std::generic_category()};
            }
            done += static_cast<std::size_t>(written);
        }
        ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(size),
                          SYNC_FILE_RANGE_WRITE);
        offset += size;
        extent = std::max(extent, offset);
        bytes.remove_prefix(size);
    }
    return {};
}

// How many bytes `a` and `b` share from their start.
std::size_t SharedBeginning(std::string_view a, std::string_view b) {
    constexpr std::size_t kStride = 64 << 10;
    const std::size_t length = std::min(a.size(), b.size());
    std::size_t same = 0;
    while (same < length) {
        const std::size_t size = std::min(kStride, length - same);
        if (std::memcmp(a.data() + same, b.data() + same, size) != 0)
            break;
        same += size;
    }
    const std::size_t end = std::min(length, same + kStride);
    while (same < end && a[same] == b[same])
        ++same;
    return same;
}

} // namespace

CopyAheadWriter::CopyAheadWriter(int fd, std::shared_ptr<const std::string> old)
    : fd_(fd), old_(std::move(old)), limit_(old_->size()), thread_([this] { run(); }) {}

CopyAheadWriter::~CopyAheadWriter() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CopyAheadWriter::limit(std::size_t end) {
    const std::lock_guard lock(mutex_);
    limit_ = std::min(limit_, end);
}

std::error_code CopyAheadWriter::finish(std::string_view bytes) {
    std::unique_lock lock(mutex_);
    final_ = bytes;
    changed_.notify_all();
    changed_.wait(lock, [this] { return done_; });
    return error_;
}

void CopyAheadWriter::run() {
    // Blocks freed first, so that a nearly full disk has the room it had.
    WaitUntilReplacedFilesClosed();
    const std::string_view old = *old_;
    std::size_t copied = 0;
    std::size_t extent = 0; // the file's size, as far as this thread wrote it
    std::unique_lock lock(mutex_);
    while (!final_ && !stop_ && copied < limit_) {
        const std::size_t size = std::min(kPiece, limit_ - copied);
        lock.unlock();
        const bool written = !WritePieces(fd_, old.substr(copied, size), copied, extent);
        lock.lock();
        // Copying ahead only saves time: a disk too full for the old text
        // may still take the new one, written whole below.
        if (!written)
            break;
        copied += size;
    }
    changed_.wait(lock, [this] { return final_ || stop_; });
    if (stop_ && !final_)
        return;
    const std::string_view bytes = *final_;
    lock.unlock();

    const std::size_t same = SharedBeginning(bytes, old.substr(0, copied));
    std::error_code error = WritePieces(fd_, bytes.substr(same), same, extent);
    if (!error && extent > bytes.size() && ::ftruncate(fd_, static_cast<off_t>(bytes.size())) != 0)
        error = {errno, std::generic_category()};

    lock.lock();
    error_ = error;
    done_ = true;
    changed_.notify_all();
}

} // namespace stanzel
