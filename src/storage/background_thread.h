#pragma once

#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace stanzel {

// Lowers the calling thread's priority, for work that nobody waits on: on a
// busy machine the window and the display server it paints through come
// first. Linux gives each thread its own niceness; failing to lower it
// changes nothing but the order of the queue.
inline void LowerThisThreadsPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
}

// A thread for work that nobody waits on (tidying a folder), at a lower
// priority from the start.
template <class Work> std::jthread BackgroundThread(Work work) {
    return std::jthread([work = std::move(work)]() mutable {
        LowerThisThreadsPriority();
        work();
    });
}

} // namespace stanzel
