#pragma once

#include "storage/atomic_file.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace stanzel {

class IniSectionStream;
class PoemStore;

// One poem as an export reads it: the entries of its section of the index
// and its text file, as read.
struct ReadPoem {
    std::string id;
    std::string title;
    std::string poet;
    std::string date;
    // None for an id that is no decimal number, which names no file.
    std::optional<std::filesystem::path> path;
    FileContents text;
};

// Walks the index and reads each poem's text file on a thread of its own, a
// few poems ahead of the document that is made of them: reading a hundred
// thousand small files and writing the document then take their time side by
// side rather than one after the other. Only a few poems are held at once, so
// the memory stays small whatever the size of the collection.
class PoemsReadAhead {
public:
    // Missing entries read as `missingEntry`. `index` must not be walked by
    // anyone else while this lives.
    PoemsReadAhead(const PoemStore& store, const IniSectionStream& index,
                   std::string_view missingEntry);
    PoemsReadAhead(const PoemsReadAhead&) = delete;
    PoemsReadAhead& operator=(const PoemsReadAhead&) = delete;
    // Stops the reading and waits for its thread.
    ~PoemsReadAhead();

    // The next poem in the order of the index, valid until the next call;
    // none after the last.
    const ReadPoem* Next();

private:
    // Poems go from thread to thread a batch at a time: handing each one
    // over alone would cost more in waking the threads than reading it. A
    // batch taken goes back to be filled again, its strings' memory with it.
    struct Batch {
        std::vector<ReadPoem> poems; // the first `size` hold this batch's
        std::size_t size = 0;
    };
    void read(const PoemStore& store, const IniSectionStream& index, std::string_view missingEntry);
    // Hands the batch over, waiting while enough are ready, and gives back
    // an emptied one to fill; false when stopped.
    bool hand(Batch& batch);

    Batch taken_;          // the batch the document is made from
    std::size_t next_ = 0; // the next poem in it
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    std::vector<Batch> spare_; // taken, to be filled again
    bool ended_ = false;
    std::exception_ptr failure_; // what ended the reading early
    std::atomic<bool> stop_ = false;
    std::jthread thread_; // last: starts once everything above is ready
};

} // namespace stanzel
