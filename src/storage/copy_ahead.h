#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace stanzel {

// The new version of a file that comes out mostly as it was (a poem index
// with one section changed or added), written from the old text on a thread
// of its own while the command works out the change. Once the new text is
// known, only what follows its first changed byte is left to write: a save in
// a large collection no longer writes its whole index after parsing it.
class CopyAheadWriter {
public:
    // Starts copying `old` into `fd`, an empty file, once the files the last
    // command replaced are closed (late_close.h).
    CopyAheadWriter(int fd, std::shared_ptr<const std::string> old);
    CopyAheadWriter(const CopyAheadWriter&) = delete;
    CopyAheadWriter& operator=(const CopyAheadWriter&) = delete;
    // Stops the copy and waits for the thread; the file is the caller's.
    ~CopyAheadWriter();

    // The new text differs from the old one at `end` at the earliest: the
    // copy goes no further, since what follows would be written again.
    void limit(std::size_t end);
    // Leaves the file holding exactly `bytes`, not yet flushed.
    std::error_code finish(std::string_view bytes);

private:
    void run();

    const int fd_;
    const std::shared_ptr<const std::string> old_;
    // Between the two threads.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t limit_;
    std::optional<std::string_view> final_;
    bool stop_ = false;
    bool done_ = false;
    std::error_code error_;
    std::thread thread_;
};

} // namespace stanzel
