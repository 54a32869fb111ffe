#pragma once

#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace stanzel {

// A thread for work that nobody waits on (tidying a folder): it runs at a
// lower priority, so on a busy machine the window and the display server it
// paints through come first.
template <class Work> std::jthread BackgroundThread(Work work) {
    return std::jthread([work = std::move(work)]() mutable {
        // Linux gives each thread its own niceness; failing to lower it
        // changes nothing but the order of the queue.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        work();
    });
}

} // namespace stanzel
