#include "storage/poem_list_reader.h"

#include "storage/ini_file.h"

#include <array>
#include <exception>

namespace stanzel {

namespace {

// The first rows fill a window several times over and are read in well under
// a millisecond; after them, rows are handed on in batches, so the window
// takes them in few, short steps.
constexpr std::size_t kFirstRows = 512;
constexpr std::size_t kRowsAtOnce = 16384;

} // namespace

PoemListReader::PoemListReader(const std::filesystem::path& indexPath)
    // At the window's own priority: the window waits for the first rows.
    : thread_([this, indexPath] { read(indexPath); }) {}

PoemListReader::~PoemListReader() {
    stop_ = true;
}

void PoemListReader::read(const std::filesystem::path& indexPath) {
    static constexpr std::array<std::string_view, 1> kKeys = {"title"};
    PoemListBuilder rows;
    std::size_t count = 0;
    try {
        IniSectionStream(indexPath).ForEachSection(
            kKeys, "def", [&](std::string_view name, std::span<const std::string_view> values) {
                if (stop_)
                    return false;
                rows.Add(name, values[0]);
                if (++count == kFirstRows || rows.size() == kRowsAtOnce)
                    hand(rows.Take(), false);
                return true;
            });
    } catch (const std::exception&) {
        // Out of memory for a hand-made monster of an index: the list shows
        // what could be read, as a list of an unreadable file shows nothing.
    }
    hand(rows.Take(), true);
}

void PoemListReader::hand(PoemList&& rows, bool last) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.append(std::move(rows));
        started_ = true;
        ended_ = last;
    }
    changed_.notify_all();
}

bool PoemListReader::Take(PoemList& list) {
    const std::lock_guard lock(mutex_);
    list.append(std::move(waiting_));
    waiting_ = PoemList();
    return ended_;
}

void PoemListReader::WaitForFirstRows() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
}

void PoemListReader::WaitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
}

} // namespace stanzel
