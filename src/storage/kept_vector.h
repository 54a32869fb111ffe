#pragma once

#include "storage/large_pages.h"

#include <mutex>
#include <utility>
#include <vector>

namespace stanzel {

// One vector of each kind kept from command to command, for the tables that
// a large index needs each time it is read (its sections, the rows of its
// list): a table of megabytes fresh from the system costs more to fault in
// than to fill. The largest one given back is kept; it comes back emptied.
template <class T> class KeptVector {
public:
    // A vector with room for `wanted` elements. A small table never takes the
    // kept one, which a large table read beside it would then have to make
    // afresh.
    static std::vector<T> Take(std::size_t wanted) {
        if (wanted * sizeof(T) < kWorthKeeping) {
            std::vector<T> fresh;
            fresh.reserve(wanted);
            return fresh;
        }
        Slot& slot = Instance();
        const std::lock_guard lock(slot.mutex);
        std::vector<T> taken = std::exchange(slot.kept, {});
        taken.clear();
        Reserve(taken, wanted);
        return taken;
    }

    // Room for `wanted` elements and an eighth more when it has to grow: a
    // collection grows a poem at a time, and a table made exactly to size
    // would be made afresh at every save of a new poem.
    static void Reserve(std::vector<T>& table, std::size_t wanted) {
        if (table.capacity() < wanted)
            ReserveLarge(table, wanted + wanted / 8);
    }

    static void Give(std::vector<T>&& given) {
        Slot& slot = Instance();
        const std::lock_guard lock(slot.mutex);
        if (given.capacity() * sizeof(T) >= kWorthKeeping &&
            given.capacity() > slot.kept.capacity())
            slot.kept = std::move(given);
    }

private:
    static constexpr std::size_t kWorthKeeping = 1 << 20;
    struct Slot {
        std::mutex mutex;
        std::vector<T> kept;
    };
    // Never destroyed: a table may come back while the program ends.
    static Slot& Instance() {
        static Slot* const slot = new Slot;
        return *slot;
    }
};

} // namespace stanzel
