#include "export/collection_export.h"

#include "export/document_writer.h"
#include "export/html_color.h"
#include "storage/atomic_file.h"
#include "storage/ini_file.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace stanzel {

using export_detail::DocumentWriter;
using export_detail::ForEachLine;

namespace {

// Missing entries read as one blank here, unlike the poem list's "def".
constexpr std::string_view kMissingEntry = " ";
constexpr std::size_t kProgressReports = 200;
// Poems are composed in a small buffer that is moved on to the document's own
// whenever it holds this much, so the large one is appended to in few steps.
constexpr std::size_t kChunkBytes = 64 * 1024;

struct IndexEntries {
    std::string title;
    std::string poet;
    std::string date;
};

class Collection {
public:
    Collection(const PoemStore& store, const ExportProgress& progress, std::string& pending,
               DocumentBytes& document)
        : store_(store), index_(store.indexPath()), progress_(progress), pending_(pending),
          document_(document) {
        index_.ListSections(ids_);
        step_ = std::max<std::size_t>(1, ids_.size() / kProgressReports);
    }

    const std::vector<std::string>& ids() const { return ids_; }

    std::string title(const std::string& id) const {
        return index_.ReadText(id, "title", kMissingEntry);
    }
    IndexEntries entries(const std::string& id) const {
        return {title(id), index_.ReadText(id, "poet", kMissingEntry),
                index_.ReadText(id, "date", kMissingEntry)};
    }

    // The whole text file; unlike loading a poem for the editor, a file that
    // is missing is an error, since the poem would silently lose its text.
    std::string text(const std::string& id) const {
        const auto path = store_.poemPath(id);
        if (!path) {
            // An id that is not a decimal number names no file, so that a
            // hand-edited index can never make the export read another one.
            throw StorageError("Cannot open file \"" + store_.poemsDir().string() + "/" + id +
                               ".poem\". The poem's id is not a number.");
        }
        FileContents contents = ReadWholeFile(*path);
        if (contents.error)
            throw StorageError("Cannot open file \"" + path->string() + "\". " +
                               DescribeError(contents.error));
        return std::move(contents.bytes);
    }

    // Called after each poem with the number done so far; false when the user
    // cancels.
    bool poemWritten(std::size_t done) const {
        if (pending_.size() >= kChunkBytes)
            flush();
        return report(done);
    }

    void flush() const {
        document_.append(pending_);
        pending_.clear();
    }

    bool report(std::size_t done) const {
        if (!progress_)
            return true;
        if (done != 0 && done != ids_.size() && done % step_ != 0)
            return true;
        return progress_(done, ids_.size()) == ProgressAnswer::Continue;
    }

private:
    const PoemStore& store_;
    const IniFile index_;
    const ExportProgress& progress_;
    std::string& pending_;
    DocumentBytes& document_;
    std::vector<std::string> ids_;
    std::size_t step_ = 1;
};

bool BuildText(DocumentWriter& doc, const Collection& collection, const ExportLabels& labels) {
    std::size_t done = 0;
    for (const std::string& id : collection.ids()) {
        const IndexEntries poem = collection.entries(id);
        const std::string text = collection.text(id);
        doc.raw("### ").text(poem.title).raw(" ###").endLine();
        doc.raw("\n").endLine();
        // The poem's lines make one document line, so its own break follows.
        ForEachLine(text, [&](std::string_view line) { doc.text(line).endLine(); });
        doc.endLine();
        doc.raw("\n").endLine();
        doc.text(labels.poet).raw(" ").text(poem.poet).endLine();
        doc.text(labels.date).raw(" ").text(poem.date).endLine();
        doc.raw("\n").endLine();
        doc.raw("### --- ###").endLine();
        doc.raw("\n\r").endLine();
        if (!collection.poemWritten(++done))
            return false;
    }
    return true;
}

bool BuildXhtml(DocumentWriter& doc, const Collection& collection, const ExportContext& context) {
    export_detail::WriteXhtmlHead(doc, std::nullopt, context.colours);
    doc.raw("p {margin: 3px; padding: 0px; font-size: 10px; text-align: right; font-weight: "
            "bold;}")
        .endLine();
    doc.raw("a {text-decoration: none; color: #3e659c;}").endLine();
    doc.raw("a:hover {color: #3e659c; text-decoration: underline;}").endLine();
    doc.raw("</style>").endLine();
    doc.raw("</head>").endLine();
    doc.raw("<body>").endLine();
    doc.raw(R"(<div id="top">)").endLine();
    doc.raw(R"(<div style="float: left; text-align: left; margin-right: 5px; padding: 2px; )"
            R"(border: 1px solid #c0c0c0; background: )")
        .raw(htmlcolor(context.colours.list))
        .raw(R"(; width: 25%;">)")
        .endLine();
    doc.raw("<h1>").text(context.labels.poemsList).raw(":</h1>").endLine();
    doc.raw("<br />").endLine();
    for (const std::string& id : collection.ids()) {
        doc.raw(R"(&bull; <a href="#poem-)")
            .attribute(id)
            .raw(R"(">)")
            .text(collection.title(id))
            .raw("</a> <br />")
            .endLine();
    }
    doc.raw("</div>").endLine();
    doc.raw(R"(<div style="float: left; width: 70%; padding: 2px; border: 1px solid #c0c0c0; )"
            R"(background: )")
        .raw(htmlcolor(context.colours.text))
        .raw(R"(;">)")
        .endLine();

    std::size_t done = 0;
    for (const std::string& id : collection.ids()) {
        const IndexEntries poem = collection.entries(id);
        const std::string text = collection.text(id);
        doc.raw(R"(<h1 id="poem-)").attribute(id).raw(R"(">)").text(poem.title).raw("</h1>");
        doc.endLine();
        doc.raw("<br />").endLine();
        ForEachLine(text, [&](std::string_view line) {
            doc.text(line).raw("<br />");
            doc.endLine();
        });
        doc.endLine();
        export_detail::WriteXhtmlPoetAndDate(doc, context.labels, poem.poet, poem.date);
        doc.raw(R"(<p><a href="#top">^ TOP ^</a></p>)").endLine();
        doc.raw("<br />").endLine();
        if (!collection.poemWritten(++done))
            return false;
    }
    doc.raw(R"(<br style="clear: both;" />)").endLine();
    doc.raw("</div>").endLine();
    doc.raw("</div>").endLine();
    doc.raw("</body>").endLine();
    doc.raw("</html>").endLine();
    return true;
}

bool BuildAbiWord(DocumentWriter& doc, const Collection& collection, const ExportContext& context) {
    doc.frameBlock(context.frame.start);
    // One running paragraph number for the whole document. The first poem's
    // heading takes the one-poem numbers 2 to 4; every later heading takes the
    // three numbers after the previous poem's last paragraph and leaves one
    // unused, as each poem also leaves the number after its last line unused.
    std::uint64_t x = 5;
    std::size_t done = 0;
    for (const std::string& id : collection.ids()) {
        const IndexEntries poem = collection.entries(id);
        const std::string text = collection.text(id);
        if (done == 0) {
            export_detail::WriteAbiTitle(doc, 2, poem.title);
            export_detail::WriteAbiCentred(doc, 3, "");
            export_detail::WriteAbiCentred(doc, 4, "");
        } else {
            export_detail::WriteAbiTitle(doc, ++x, poem.title);
            export_detail::WriteAbiCentred(doc, ++x, "");
            export_detail::WriteAbiCentred(doc, ++x, "");
            ++x;
        }
        ForEachLine(text, [&](std::string_view line) {
            export_detail::WriteAbiCentred(doc, x, line);
            ++x;
        });
        export_detail::WriteAbiLeft(doc, ++x, "");
        export_detail::WriteAbiLeft(doc, ++x, "");
        export_detail::WriteAbiLabelled(doc, ++x, context.labels.poet, poem.poet);
        export_detail::WriteAbiLabelled(doc, ++x, context.labels.date, poem.date);
        for (int i = 0; i < 4; ++i)
            export_detail::WriteAbiLeft(doc, ++x, "");
        if (!collection.poemWritten(++done))
            return false;
    }
    doc.frameBlock(context.frame.end);
    return true;
}

} // namespace

CollectionDocument BuildCollectionDocument(const PoemStore& store, ExportFormat format,
                                           const ExportContext& context,
                                           const ExportProgress& progress) {
    CollectionDocument result;
    std::string pending;
    const Collection collection(store, progress, pending, result.bytes);
    if (collection.ids().empty())
        return result;
    result.poems = collection.ids().size();
    if (!collection.report(0)) {
        result.outcome = CollectionDocument::Outcome::Cancelled;
        return result;
    }

    pending.reserve(2 * kChunkBytes);
    DocumentWriter doc(pending, format);
    bool finished = false;
    switch (format) {
    case ExportFormat::Text:
        finished = BuildText(doc, collection, context.labels);
        break;
    case ExportFormat::Xhtml:
        finished = BuildXhtml(doc, collection, context);
        break;
    case ExportFormat::AbiWord:
        finished = BuildAbiWord(doc, collection, context);
        break;
    default:
        throw std::invalid_argument("Unknown export format");
    }
    if (!finished) {
        result.bytes.clear();
        result.outcome = CollectionDocument::Outcome::Cancelled;
        return result;
    }
    collection.flush();
    result.outcome = CollectionDocument::Outcome::Built;
    return result;
}

DocumentBytes::DocumentBytes(DocumentBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

DocumentBytes& DocumentBytes::operator=(DocumentBytes&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

DocumentBytes::~DocumentBytes() {
    std::free(data_);
}

void DocumentBytes::append(std::string_view bytes) {
    if (bytes.empty())
        return;
    if (bytes.size() > capacity_ - size_) {
        // realloc, unlike a new block and a copy, lets the C library move
        // a large block by remapping its pages: the old and the new block are
        // never both in memory.
        const std::size_t wanted = std::max({capacity_ * 2, size_ + bytes.size(), kChunkBytes});
        char* grown = static_cast<char*>(std::realloc(data_, wanted));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = grown;
        capacity_ = wanted;
    }
    std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
}

void DocumentBytes::clear() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

} // namespace stanzel
