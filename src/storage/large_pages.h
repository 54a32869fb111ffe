#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace stanzel {

// Buffers of several megabytes that are kept from command to command (the
// index's text, its table of sections, the rows of the list) are backed by
// large pages where the system offers them, up to some tens of megabytes. Touching a buffer then costs one
// fault per 2 MiB instead of one per 4 KiB: on a virtual machine, memory
// left untouched for a second is slow to touch again page by page, and a
// save made after the poet has paused would pay that for every page.
void AdviseLargePages(const void* data, std::size_t bytes);

// Room for `size` bytes, advised as above when the buffer has to grow.
inline void ReserveLarge(std::string& buffer, std::size_t size) {
    if (buffer.capacity() >= size)
        return;
    buffer.reserve(size);
    AdviseLargePages(buffer.data(), buffer.capacity());
}

template <class T> void ReserveLarge(std::vector<T>& table, std::size_t count) {
    if (table.capacity() >= count)
        return;
    table.reserve(count);
    AdviseLargePages(table.data(), table.capacity() * sizeof(T));
}

} // namespace stanzel
