#include "storage/late_close.h"

#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace stanzel {

namespace {

class Closer {
public:
    // Never destroyed, and its thread never stopped: files may be held while
    // the program ends, which closes what is left.
    static Closer& Instance() {
        static Closer* const closer = new Closer;
        return *closer;
    }

    void hold(int fd) {
        constexpr off_t kHeldAtMost = 32 << 20;
        struct stat info {};
        const bool large = ::fstat(fd, &info) == 0 && info.st_size > kHeldAtMost;
        {
            const std::lock_guard lock(mutex_);
            (large ? closing_ : held_).push_back(fd);
        }
        if (large)
            wake_.notify_all();
    }

    void letGo() {
        {
            const std::lock_guard lock(mutex_);
            if (held_.empty())
                return;
            closing_.insert(closing_.end(), held_.begin(), held_.end());
            held_.clear();
        }
        wake_.notify_all();
    }

    void waitUntilClosed() {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return closing_.empty() && !busy_; });
    }

private:
    // At the window's own priority: a command may wait for it to finish.
    Closer() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        std::vector<int> closing;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !closing_.empty(); });
            std::swap(closing, closing_);
            busy_ = true;
            lock.unlock();
            for (const int fd : closing)
                ::close(fd);
            closing.clear();
            lock.lock();
            busy_ = false;
            wake_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<int> held_;
    std::vector<int> closing_;
    bool busy_ = false;
};

} // namespace

void HoldReplacedFile(int fd) {
    if (fd >= 0)
        Closer::Instance().hold(fd);
}

void LetGoOfReplacedFiles() {
    Closer::Instance().letGo();
}

void WaitUntilReplacedFilesClosed() {
    Closer::Instance().waitUntilClosed();
}

} // namespace stanzel
