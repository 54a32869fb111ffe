#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>
#include <sys/types.h>
#include <system_error>
#include <thread>

namespace stanzel {

// Writes all of `bytes` to `fd`, through interrupted and partial writes.
std::error_code WriteFully(int fd, std::string_view bytes);

// A document written past the system's cache (O_DIRECT), which wants whole
// blocks of the device from memory aligned to them (4 KiB suits every device
// there is). The document is gathered into one block while the other is
// written on a thread of its own: a write past the cache waits for the
// device, and the document is made meanwhile.
class DirectBlocks {
public:
    // Nothing when the file system cannot write past its cache.
    static std::unique_ptr<DirectBlocks> Start(int fd);

    DirectBlocks(const DirectBlocks&) = delete;
    DirectBlocks& operator=(const DirectBlocks&) = delete;
    // Waits for the block being written; the file is the caller's.
    ~DirectBlocks();

    std::error_code add(std::string_view bytes);
    // Writes what is left, the tail of the last block that the device cannot
    // take alone through the cache, and leaves the file as any other.
    std::error_code finish();

private:
    using Block = std::unique_ptr<char, void (*)(void*)>;

    explicit DirectBlocks(int fd);
    // The full block to the writing thread, once it is done with the other.
    std::error_code handOver();
    void run();
    // Waits for the block being written; its error, if any.
    std::error_code stopThread();
    // Falls back to the cache should the device refuse the block.
    std::error_code writeBlock(const char* data, std::size_t size);

    const int fd_;
    Block blocks_[2];
    int filling_ = 0; // the block being gathered
    std::size_t gathered_ = 0;
    // Between the two threads.
    std::mutex mutex_;
    std::condition_variable changed_;
    const char* pending_ = nullptr; // the block to write, until it is written
    bool stop_ = false;
    std::error_code error_;
    // The writing thread's own until it is joined.
    bool direct_ = true;
    off_t written_ = 0;
    std::thread thread_;
};

} // namespace stanzel
