#pragma once

#include "storage/poem_store.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace stanzel {

class IniSectionStream;

// The collection's list read from the index on a thread of its own, so that a
// window shows its first rows at once and takes the rest when it is free: the
// list of a million poems takes longer to read than a window takes to appear.
// The rows are the ones PoemStore::ListPoems gives, in the same order. The
// index is opened once, so a save that replaces it meanwhile does not mix two
// versions into one list.
class PoemListReader {
public:
    // When the reading goes on after the first rows.
    enum class Rest {
        Read,        // at once
        WaitForGoOn, // once GoOn is called: a window's first paint comes first
    };
    explicit PoemListReader(const std::filesystem::path& indexPath, Rest rest = Rest::Read);
    // The list of an index's text already in memory: the index as a save has
    // just written it, listed while the window tells the user of the save.
    explicit PoemListReader(std::shared_ptr<const std::string> indexText);
    PoemListReader(const PoemListReader&) = delete;
    PoemListReader& operator=(const PoemListReader&) = delete;
    // Stops the reading and waits for its thread.
    ~PoemListReader();

    // Appends the rows read since the last call to `list`; true once the
    // whole index has been handed over.
    bool Take(PoemList& list);
    // Waits until the first rows are there, or the whole (small) index: what
    // a window needs before it shows.
    void WaitForFirstRows();
    // Lets a reading that waits after its first rows read the rest.
    void GoOn();
    // Waits until the whole index is read.
    void WaitForEnd();

private:
    void read();
    void hand(PoemList&& rows, bool last);

    std::unique_ptr<IniSectionStream> index_;
    std::mutex mutex_;
    std::condition_variable changed_;
    PoemList waiting_;     // read, not yet taken
    bool started_ = false; // the reading thread has handed rows
    bool ended_ = false;   // ... and its last ones
    bool goOn_ = true;     // the rows after the first ones may be read
    std::atomic<bool> stop_ = false;
    std::jthread thread_; // last: starts once everything above is ready
};

} // namespace stanzel
