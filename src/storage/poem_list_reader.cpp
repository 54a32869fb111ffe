#include "storage/poem_list_reader.h"

#include "storage/background_thread.h"
#include "storage/ini_file.h"

#include <algorithm>
#include <array>

namespace stanzel {

namespace {

// The first rows fill a window several times over and are read in well under
// a millisecond; after them, rows are handed on in pieces of about this much
// text, so the window takes them in few, short steps.
constexpr std::size_t kFirstRows = 512;
constexpr std::size_t kPieceBytes = 1 << 20;

} // namespace

PoemListReader::PoemListReader(const std::filesystem::path& indexPath)
    : thread_(BackgroundThread([this, indexPath] { read(indexPath); })) {}

PoemListReader::~PoemListReader() {
    stop_ = true;
}

void PoemListReader::read(const std::filesystem::path& indexPath) {
    static constexpr std::array<std::string_view, 1> kKeys = {"title"};
    // The names and titles are copied out of the index piece by piece: a row
    // points into its piece's text, which is never grown past the room made
    // for it, so the views stay valid.
    const auto newPiece = [](std::size_t room) {
        auto piece = std::make_shared<std::string>();
        piece->reserve(room);
        return piece;
    };
    auto text = newPiece(kPieceBytes);
    std::vector<PoemListEntry> rows;
    std::size_t read = 0;
    const auto handPiece = [&](bool last, std::size_t room) {
        if (!rows.empty() || last)
            hand(PoemList(std::move(text), std::move(rows)), last);
        text = newPiece(room);
        rows = {};
    };
    IniSectionStream(indexPath).ForEachSection(
        kKeys, "def", [&](std::string_view name, std::span<const std::string_view> values) {
            if (stop_)
                return false;
            const std::size_t needed = name.size() + values[0].size();
            if (text->size() + needed > text->capacity())
                handPiece(false, std::max(kPieceBytes, needed));
            const std::size_t at = text->size();
            text->append(name).append(values[0]);
            rows.push_back({std::string_view(*text).substr(at, name.size()),
                            std::string_view(*text).substr(at + name.size(), values[0].size())});
            if (++read == kFirstRows)
                handPiece(false, kPieceBytes);
            return true;
        });
    handPiece(true, 0);
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
