#pragma once

#include <csignal>
#include <sys/resource.h>

namespace stanzel::testing {

// While it lives, a write that makes a file larger than `room` bytes fails
// part-way, as on a full disk; a file-size limit does that even for root.
class FullDisk {
public:
    explicit FullDisk(rlim_t room) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = room;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

} // namespace stanzel::testing
