#include "storage/late_close.h"

#include "storage/background_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace stanzel {

namespace {

class Closer {
public:
    // Never destroyed, and its thread never stopped: a descriptor may be
    // handed over while the program ends, which closes what is left.
    static Closer& Instance() {
        static Closer* const closer = new Closer;
        return *closer;
    }

    void add(int fd) {
        {
            const std::lock_guard lock(mutex_);
            pending_.push_back(fd);
        }
        wake_.notify_one();
    }

private:
    Closer() { std::thread([this] { run(); }).detach(); }

    void run() {
        LowerThisThreadsPriority();
        std::vector<int> closing;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !pending_.empty(); });
                std::swap(closing, pending_);
            }
            for (const int fd : closing)
                ::close(fd);
            closing.clear();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<int> pending_;
};

} // namespace

void CloseLater(int fd) {
    if (fd >= 0)
        Closer::Instance().add(fd);
}

} // namespace stanzel
