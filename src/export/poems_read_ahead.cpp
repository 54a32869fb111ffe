#include "export/poems_read_ahead.h"

#include "storage/ini_file.h"
#include "storage/poem_store.h"

#include <array>
#include <span>
#include <utility>

namespace stanzel {

namespace {

// Enough poems ahead that the document never waits for a file, few enough
// that a collection of large poems is not held in memory: a batch ends at 64
// poems or 1 MiB of text, and at most two wait.
constexpr std::size_t kBatchPoems = 64;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::size_t kBatchesAhead = 2;

} // namespace

PoemsReadAhead::PoemsReadAhead(const PoemStore& store, const IniSectionStream& index,
                               std::string_view missingEntry)
    : thread_([this, &store, &index, missingEntry] { read(store, index, missingEntry); }) {}

PoemsReadAhead::~PoemsReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

void PoemsReadAhead::read(const PoemStore& store, const IniSectionStream& index,
                          std::string_view missingEntry) {
    static constexpr std::array<std::string_view, 3> kKeys = {"title", "poet", "date"};
    Batch batch;
    std::size_t batchBytes = 0;
    try {
        const bool whole = index.ForEachSection(
            kKeys, missingEntry,
            [&](std::string_view id, std::span<const std::string_view> values) {
                if (batch.size == batch.poems.size())
                    batch.poems.emplace_back();
                ReadPoem& poem = batch.poems[batch.size++];
                poem.id.assign(id);
                poem.title.assign(values[0]);
                poem.poet.assign(values[1]);
                poem.date.assign(values[2]);
                poem.path = store.poemPath(id);
                poem.text.error.clear();
                poem.text.bytes.clear();
                // A place that held a huge poem does not keep its memory for
                // the small ones after it.
                if (poem.text.bytes.capacity() > kBatchBytes)
                    std::string().swap(poem.text.bytes);
                if (poem.path)
                    poem.text.error = ReadFileInto(*poem.path, poem.text.bytes);
                batchBytes += poem.text.bytes.size();
                if (batch.size < kBatchPoems && batchBytes < kBatchBytes)
                    return !stop_;
                batchBytes = 0;
                return hand(batch);
            });
        if (whole)
            hand(batch);
    } catch (...) {
        // Out of memory: the document ends with this, as it would have
        // without reading ahead.
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

bool PoemsReadAhead::hand(Batch& batch) {
    if (batch.size == 0)
        return !stop_;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || ready_.size() < kBatchesAhead; });
    if (stop_)
        return false;
    ready_.push_back(std::move(batch));
    batch = Batch();
    if (!spare_.empty()) {
        batch = std::move(spare_.back());
        spare_.pop_back();
        batch.size = 0;
    }
    lock.unlock();
    changed_.notify_all();
    return true;
}

const ReadPoem* PoemsReadAhead::Next() {
    if (next_ == taken_.size) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || ended_; });
        if (ready_.empty()) {
            if (failure_)
                std::rethrow_exception(failure_);
            return nullptr;
        }
        spare_.push_back(std::exchange(taken_, std::move(ready_.front())));
        ready_.pop_front();
        next_ = 0;
        lock.unlock();
        changed_.notify_all();
    }
    return &taken_.poems[next_++];
}

} // namespace stanzel
