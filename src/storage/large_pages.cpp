#include "storage/large_pages.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace stanzel {

void AdviseLargePages(const void* data, std::size_t bytes) {
    // Below two large pages, at most a part of one could be backed: not worth
    // a system call.
    if (getenv("NO_LARGE")) return;
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    if (bytes < 2 * kLargePage)
        return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes + page - 1) & ~(page - 1);
    // Only advice: where large pages are off, or the call fails, the buffer
    // works the same with small ones.
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace stanzel
