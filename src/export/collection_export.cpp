#include "export/collection_export.h"

#include "export/document_writer.h"
#include "export/html_color.h"
#include "storage/atomic_file.h"
#include "storage/profile_text.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"

#include <algorithm>
#include <span>
#include <stdexcept>
#include <utility>

namespace stanzel {

using export_detail::DocumentWriter;
using export_detail::ForEachLine;

namespace {

// Missing entries read as one blank here, unlike the poem list's "def".
constexpr std::string_view kMissingEntry = " ";
constexpr std::size_t kProgressReports = 200;
// The document is composed in a small buffer that goes to the sink whenever
// it holds this much.
constexpr std::size_t kChunkBytes = 64 * 1024;

struct IndexEntries {
    std::string_view title;
    std::string_view poet;
    std::string_view date;
};

class Collection {
public:
    Collection(const PoemStore& store, const ProfileText& index, std::size_t poems,
               const ExportProgress& progress, const DocumentSink& sink, std::string& pending)
        : store_(store), index_(index), poems_(poems), progress_(progress), sink_(sink),
          pending_(pending), step_(std::max<std::size_t>(1, poems / kProgressReports)),
          // Held for the whole export rather than reached again for each of
          // thousands of files.
          poemsFolder_(Folder::OpenBelow(store.poemsFolder())) {}

    // Every poem in the order of the index, with its entries and its text,
    // as `visit(id, entries, text)`; false when the user cancelled.
    template <typename Visit> bool forEachPoem(Visit&& visit) {
        std::size_t done = 0;
        for (std::size_t i = 0; i < index_.sectionCount(); ++i) {
            if (!index_.section(i).firstOfName)
                continue;
            const std::string_view id = index_.name(i);
            const std::string text = readText(id);
            // What is not UTF-8 is read in the collection's code page, so
            // that the document holds every letter.
            const CollectionCodePage& codePage = store_.codePage();
            visit(id,
                  IndexEntries{codePage.ToUtf8(index_.valueOr(i, "title", kMissingEntry), title_),
                               codePage.ToUtf8(index_.valueOr(i, "poet", kMissingEntry), poet_),
                               codePage.ToUtf8(index_.valueOr(i, "date", kMissingEntry), date_)},
                  codePage.ToUtf8(text, text_));
            if (!poemWritten(++done))
                return false;
        }
        return true;
    }

    // Every poem's id and title, as `visit(id, title)`.
    template <typename Visit> void forEachTitle(Visit&& visit) const {
        for (std::size_t i = 0; i < index_.sectionCount(); ++i) {
            if (!index_.section(i).firstOfName)
                continue;
            visit(index_.name(i),
                  store_.codePage().ToUtf8(index_.valueOr(i, "title", kMissingEntry), title_));
            flushWhenFull();
        }
    }

    bool report(std::size_t done) const {
        if (!progress_)
            return true;
        if (done != 0 && done != poems_ && done % step_ != 0)
            return true;
        return progress_(done, poems_) == ProgressAnswer::Continue;
    }

    void flush() const {
        sink_(pending_);
        pending_.clear();
    }

private:
    // The whole text file must be read; unlike loading a poem for the
    // editor, a file that is missing is an error, since the poem would
    // silently lose its text.
    // The same limits as the editor's (ReadPoemFile): a file too large for a
    // poem is reported, never read whole.
    std::string readText(std::string_view id) const {
        if (!CanonicalPoemId(id)) {
            // An id that is not a decimal number names no file, so that a
            // hand-edited index can never make the export read another one.
            throw StorageError("Cannot open file \"" + store_.poemsFolder().path().string() + "/" +
                               std::string(id) + ".poem\". The poem's id is not a number.");
        }
        const FileRef file(poemsFolder_, std::string(id) + ".poem");
        auto text = ReadPoemFile(file);
        if (!text)
            throw StorageError(
                "Cannot open file \"" + file.path().string() + "\". " +
                DescribeError(std::make_error_code(std::errc::no_such_file_or_directory)));
        return std::move(*text);
    }

    // Called after each poem with the number done so far; false when the user
    // cancels.
    bool poemWritten(std::size_t done) const {
        flushWhenFull();
        return report(done);
    }

    void flushWhenFull() const {
        if (pending_.size() >= kChunkBytes)
            flush();
    }

    const PoemStore& store_;
    const ProfileText& index_;
    std::size_t poems_;
    const ExportProgress& progress_;
    const DocumentSink& sink_;
    std::string& pending_;
    std::size_t step_;
    std::shared_ptr<const Folder> poemsFolder_;
    // The readings of the poem at hand that were not UTF-8.
    mutable std::string title_, poet_, date_, text_;
};

bool BuildText(DocumentWriter& doc, Collection& collection, const ExportLabels& labels) {
    return collection.forEachPoem([&](std::string_view, const IndexEntries& poem,
                                      std::string_view text) {
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
    });
}

bool BuildXhtml(DocumentWriter& doc, Collection& collection, const ExportContext& context) {
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
    collection.forEachTitle([&](std::string_view id, std::string_view title) {
        doc.raw(R"(&bull; <a href="#poem-)")
            .attribute(id)
            .raw(R"(">)")
            .text(title)
            .raw("</a> <br />")
            .endLine();
    });
    doc.raw("</div>").endLine();
    doc.raw(R"(<div style="float: left; width: 70%; padding: 2px; border: 1px solid #c0c0c0; )"
            R"(background: )")
        .raw(htmlcolor(context.colours.text))
        .raw(R"(;">)")
        .endLine();

    const bool finished = collection.forEachPoem([&](std::string_view id, const IndexEntries& poem,
                                                     std::string_view text) {
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
    });
    if (!finished)
        return false;
    doc.raw(R"(<br style="clear: both;" />)").endLine();
    doc.raw("</div>").endLine();
    doc.raw("</div>").endLine();
    doc.raw("</body>").endLine();
    doc.raw("</html>").endLine();
    return true;
}

bool BuildAbiWord(DocumentWriter& doc, Collection& collection, const ExportContext& context) {
    doc.frameBlock(context.frame.start);
    // One running paragraph number for the whole document. The first poem's
    // heading takes the one-poem numbers 2 to 4; every later heading takes the
    // three numbers after the previous poem's last paragraph and leaves one
    // unused, as each poem also leaves the number after its last line unused.
    std::uint64_t x = 5;
    bool first = true;
    const bool finished = collection.forEachPoem([&](std::string_view, const IndexEntries& poem,
                                                     std::string_view text) {
        if (first) {
            first = false;
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
    });
    if (!finished)
        return false;
    doc.frameBlock(context.frame.end);
    return true;
}

} // namespace

CollectionExport::CollectionExport(PoemStore& store) : store_(store), index_(store.Index()) {
    for (std::size_t i = 0; i < index_->sectionCount(); ++i)
        poems_ += index_->section(i).firstOfName ? 1 : 0;
}

CollectionExport::~CollectionExport() = default;

bool CollectionExport::Write(ExportFormat format, const ExportContext& context,
                             const ExportProgress& progress, const DocumentSink& sink) const {
    std::string pending;
    Collection collection(store_, *index_, poems_, progress, sink, pending);
    if (!collection.report(0))
        return false;
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
    if (finished)
        collection.flush();
    return finished;
}

CollectionDocument BuildCollectionDocument(PoemStore& store, ExportFormat format,
                                           const ExportContext& context,
                                           const ExportProgress& progress) {
    CollectionDocument result;
    const CollectionExport collection(store);
    result.poems = collection.poems();
    if (result.poems == 0)
        return result;
    const bool finished = collection.Write(format, context, progress, [&](std::string_view bytes) {
        result.bytes.append(bytes);
    });
    if (!finished) {
        result.bytes.clear();
        result.outcome = CollectionDocument::Outcome::Cancelled;
        return result;
    }
    result.outcome = CollectionDocument::Outcome::Built;
    return result;
}

} // namespace stanzel
