#pragma once

#include "export/export_document.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace stanzel {

class PoemStore;

enum class ProgressAnswer { Continue, Cancel };

// Told how many poems of how many have been read: once with 0 before the
// first, then now and then (at most about two hundred times), and once with
// done == total at the end. Answering Cancel stops the export at once.
using ExportProgress = std::function<ProgressAnswer(std::size_t done, std::size_t total)>;

// The bytes of a whole-collection document. A document of a large collection
// runs to a hundred megabytes and more; this buffer grows in place where the
// system allows (large blocks are remapped rather than copied), so building it
// needs little more memory than the document itself.
class DocumentBytes {
public:
    DocumentBytes() = default;
    DocumentBytes(const DocumentBytes&) = delete;
    DocumentBytes& operator=(const DocumentBytes&) = delete;
    DocumentBytes(DocumentBytes&& other) noexcept;
    DocumentBytes& operator=(DocumentBytes&& other) noexcept;
    ~DocumentBytes();

    void append(std::string_view bytes);
    void clear();
    std::string_view view() const { return {data_, size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

struct CollectionDocument {
    enum class Outcome {
        Built,     // `bytes` holds the finished file
        Empty,     // the index holds no poem: write nothing, store nothing, say nothing
        Cancelled, // the user cancelled: write nothing
    };
    Outcome outcome = Outcome::Empty;
    DocumentBytes bytes;
    std::size_t poems = 0;
};

// Every poem of the store, in the order of the index, read afresh: title, poet
// and date from the index (a missing entry reads as one blank) and the text
// from the poem's file, split at CR LF, lone LF and lone CR. Nothing is
// written; the whole document is built first so that a poem that cannot be
// read leaves every file as it was.
//
// Throws StorageError("Cannot open file "<path>". <reason>") for a poem whose
// text file is missing or unreadable, or whose id names no file.
CollectionDocument BuildCollectionDocument(const PoemStore& store, ExportFormat format,
                                           const ExportContext& context,
                                           const ExportProgress& progress = {});

} // namespace stanzel
