#include "storage/poem_list_reader.h"

#include "storage/background_thread.h"
#include "storage/ini_file.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace stanzel {

namespace {

// The first rows fill a window several times over and are read in well under
// a millisecond; after them, rows are handed on in batches, so the window
// takes them in few, short steps.
constexpr std::size_t kFirstRows = 512;
constexpr std::size_t kRowsAtOnce = 16384;

// Makes a PoemList row by row, copying each id and title into pieces of text
// of its own, for a list read from the index a piece at a time: it holds what
// it shows, about half the index.
class PoemListBuilder {
public:
    void Add(std::string_view id, std::string_view title);
    std::size_t size() const { return rows_.size(); }
    // The rows added since the last Take.
    PoemList Take();

private:
    std::shared_ptr<std::string> piece_;
    std::vector<std::shared_ptr<const std::string>> pieces_;
    std::vector<PoemListEntry> rows_;
};

void PoemListBuilder::Add(std::string_view id, std::string_view title) {
    // Pieces stay below the size that the allocator takes straight from the
    // system, so the pieces of a list dropped are reused by the next one.
    constexpr std::size_t kPieceBytes = 256 * 1024;
    const std::size_t needed = id.size() + title.size();
    if (!piece_ || piece_->size() + needed > piece_->capacity()) {
        if (piece_)
            pieces_.push_back(std::move(piece_));
        piece_ = std::make_shared<std::string>();
        piece_->reserve(std::max(kPieceBytes, needed));
    }
    // Within the room made for it the piece never moves, so the views stay.
    const std::size_t at = piece_->size();
    piece_->append(id).append(title);
    const std::string_view text = *piece_;
    rows_.push_back({text.substr(at, id.size()), text.substr(at + id.size(), title.size())});
}

PoemList PoemListBuilder::Take() {
    // The piece being filled goes on being filled after the rows already in
    // it, which the list taken here may go on reading meanwhile.
    if (piece_)
        pieces_.push_back(piece_);
    return PoemList(std::exchange(pieces_, {}), std::exchange(rows_, {}));
}

} // namespace

// At the window's own priority: the window waits for the first rows.
PoemListReader::PoemListReader(const std::filesystem::path& indexPath, Rest rest)
    : index_(std::make_unique<IniSectionStream>(indexPath)), goOn_(rest == Rest::Read),
      thread_([this] { read(); }) {}

PoemListReader::PoemListReader(std::shared_ptr<const std::string> indexText)
    : index_(std::make_unique<IniSectionStream>(std::move(indexText))),
      thread_([this] { read(); }) {}

PoemListReader::~PoemListReader() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

void PoemListReader::read() {
    static constexpr std::array<std::string_view, 1> kKeys = {"title"};
    PoemListBuilder rows;
    std::size_t count = 0;
    try {
        index_->ForEachSection(
            kKeys, "def", [&](std::string_view name, std::span<const std::string_view> values) {
                if (stop_)
                    return false;
                rows.Add(name, values[0]);
                if (++count == kFirstRows) {
                    hand(rows.Take(), false);
                    // The window waits for the first rows only; the rest
                    // gives way to its first paint.
                    {
                        std::unique_lock lock(mutex_);
                        changed_.wait(lock, [this] { return goOn_ || stop_; });
                    }
                    if (stop_)
                        return false;
                    LowerThisThreadsPriority();
                } else if (rows.size() == kRowsAtOnce) {
                    hand(rows.Take(), false);
                }
                return true;
            });
    } catch (const std::exception&) {
        // Out of memory for a hand-made monster of an index: the list shows
        // what could be read, as a list of an unreadable file shows nothing.
    }
    // The text of an index in memory goes back to be reused before the list
    // is whole, so a save that follows at once finds it free.
    index_.reset();
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

void PoemListReader::GoOn() {
    {
        const std::lock_guard lock(mutex_);
        goOn_ = true;
    }
    changed_.notify_all();
}

void PoemListReader::WaitForEnd() {
    GoOn();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
}

} // namespace stanzel
