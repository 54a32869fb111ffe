#include "storage/direct_blocks.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace stanzel {

namespace {

constexpr std::size_t kAlignment = 4096;
constexpr std::size_t kBlock = 256 << 10;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

bool SetDirect(int fd, bool direct) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

char* AlignedBlock() {
    return static_cast<char*>(std::aligned_alloc(kAlignment, kBlock));
}

} // namespace

std::error_code WriteFully(int fd, std::string_view bytes) {
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

std::unique_ptr<DirectBlocks> DirectBlocks::Start(int fd) {
    if (!SetDirect(fd, true))
        return nullptr;
    auto blocks = std::unique_ptr<DirectBlocks>(new DirectBlocks(fd));
    if (!blocks->blocks_[0] || !blocks->blocks_[1]) {
        SetDirect(fd, false);
        return nullptr;
    }
    return blocks;
}

DirectBlocks::DirectBlocks(int fd)
    : fd_(fd), blocks_{Block(AlignedBlock(), std::free), Block(AlignedBlock(), std::free)} {}

DirectBlocks::~DirectBlocks() {
    stopThread();
}

std::error_code DirectBlocks::add(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t taken = std::min(bytes.size(), kBlock - gathered_);
        std::memcpy(blocks_[filling_].get() + gathered_, bytes.data(), taken);
        gathered_ += taken;
        bytes.remove_prefix(taken);
        if (gathered_ == kBlock) {
            if (const auto error = handOver())
                return error;
        }
    }
    return {};
}

std::error_code DirectBlocks::finish() {
    if (const auto error = stopThread())
        return error;
    const char* const last = blocks_[filling_].get();
    const std::size_t whole = gathered_ / kAlignment * kAlignment;
    std::error_code error = whole ? writeBlock(last, whole) : std::error_code();
    if (!error && direct_ && !SetDirect(fd_, false))
        error = LastError();
    if (!error)
        error = WriteFully(fd_, std::string_view(last + whole, gathered_ - whole));
    return error;
}

std::error_code DirectBlocks::handOver() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
        if (error_)
            return error_;
        pending_ = blocks_[filling_].get();
    }
    changed_.notify_all();
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
    filling_ ^= 1;
    gathered_ = 0;
    return {};
}

void DirectBlocks::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stop_; });
        if (!pending_)
            return;
        const char* const block = pending_;
        lock.unlock();
        const auto error = writeBlock(block, kBlock);
        lock.lock();
        if (error && !error_)
            error_ = error;
        pending_ = nullptr;
        changed_.notify_all();
    }
}

std::error_code DirectBlocks::stopThread() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    return error_;
}

std::error_code DirectBlocks::writeBlock(const char* data, std::size_t size) {
    auto error = WriteFully(fd_, std::string_view(data, size));
    if (error == std::errc::invalid_argument && direct_) {
        // Refused past the cache after all (a device with larger blocks):
        // through the cache from here on, from where the refusal left off.
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        if (at < written_ || at > written_ + static_cast<off_t>(size) || !SetDirect(fd_, false))
            return error;
        direct_ = false;
        error = WriteFully(
            fd_, std::string_view(data, size).substr(static_cast<std::size_t>(at - written_)));
    }
    if (!error)
        written_ += static_cast<off_t>(size);
    return error;
}

} // namespace stanzel
