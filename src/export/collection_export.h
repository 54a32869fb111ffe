#pragma once

#include "export/export_document.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace stanzel {

class PoemStore;
class ProfileText;

enum class ProgressAnswer { Continue, Cancel };

// Told how many poems of how many have been read: once with 0 before the
// first, then now and then (at most about two hundred times), and once with
// done == total at the end. Answering Cancel stops the export at once.
using ExportProgress = std::function<ProgressAnswer(std::size_t done, std::size_t total)>;

// Where a document goes while it is made, a piece of about 64 KiB at a time.
using DocumentSink = std::function<void(std::string_view bytes)>;

// A whole-collection document held in memory, for a caller that wants the
// bytes themselves rather than a file.
class DocumentBytes {
public:
    void append(std::string_view bytes) { bytes_.append(bytes); }
    void clear() { bytes_.clear(); }
    std::string_view view() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

private:
    std::string bytes_;
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

// Every poem of the store, in the order of the index as it stands when the
// export begins: title, poet and date from the index (a missing entry reads
// as one blank) and the text from the poem's file, split at CR LF, lone LF
// and lone CR. Each poem is read when its turn comes and goes into the
// document at once, so that the document of a collection of any size is
// made in little memory.
class CollectionExport {
public:
    explicit CollectionExport(PoemStore& store);
    ~CollectionExport();

    // How many poems the index lists; none means nothing is to be written.
    std::size_t poems() const { return poems_; }

    // Makes the document and hands it to `sink` as it is made. False when the
    // user cancelled through `progress`; the sink has then had part of it.
    //
    // Throws StorageError("Cannot open file "<path>". <reason>") for a poem
    // whose text file is missing or unreadable, or whose id names no file.
    bool Write(ExportFormat format, const ExportContext& context, const ExportProgress& progress,
               const DocumentSink& sink) const;

private:
    const PoemStore& store_;
    std::shared_ptr<const ProfileText> index_;
    std::size_t poems_ = 0;
};

// The same document built in memory.
CollectionDocument BuildCollectionDocument(PoemStore& store, ExportFormat format,
                                           const ExportContext& context,
                                           const ExportProgress& progress = {});

} // namespace stanzel
