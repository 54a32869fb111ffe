#include "export/export_document.h"

#include "export/document_writer.h"

#include <stdexcept>

namespace stanzel {

using export_detail::DocumentWriter;
using export_detail::EndsWithLineBreak;
using export_detail::ForEachLine;

namespace {

void BuildText(DocumentWriter& doc, const EditorPoem& poem, const ExportLabels& labels) {
    doc.raw("### ").text(poem.title).raw(" ###\n").endLine();
    ForEachLine(poem.text, [&](std::string_view line) { doc.text(line).endLine(); });
    doc.raw("\n").endLine();
    doc.text(labels.poet).raw(" ").text(poem.poet).endLine();
    doc.text(labels.date).raw(" ").text(poem.date).endLine();
    doc.raw("\n").endLine();
    doc.raw("### --- ###").endLine();
}

void BuildXhtml(DocumentWriter& doc, const EditorPoem& poem, const ExportContext& context) {
    export_detail::WriteXhtmlHead(doc, poem.title, context.colours);
    doc.raw("</style>").endLine();
    doc.raw("</head>").endLine();
    doc.raw("<body>").endLine();
    doc.raw("<div>").endLine();
    doc.raw("<h1>").text(poem.title).raw("</h1>").endLine();
    doc.raw("<br />").endLine();
    doc.raw("<br />").endLine();
    // One document line: every break of the poem becomes "<br />" and a break.
    bool first = true;
    ForEachLine(poem.text, [&](std::string_view line) {
        if (!first) {
            doc.raw("<br />");
            doc.endLine();
        }
        first = false;
        doc.text(line);
    });
    if (EndsWithLineBreak(poem.text)) {
        doc.raw("<br />");
        doc.endLine();
    }
    doc.endLine();
    doc.raw("<br />").endLine();
    doc.raw("<br />").endLine();
    export_detail::WriteXhtmlPoetAndDate(doc, context.labels, poem.poet, poem.date);
    doc.raw("</div>").endLine();
    doc.raw("</body>").endLine();
    doc.raw("</html>").endLine();
}

void BuildAbiWord(DocumentWriter& doc, const EditorPoem& poem, const ExportContext& context) {
    doc.frameBlock(context.frame.start);
    export_detail::WriteAbiTitle(doc, 2, poem.title);
    export_detail::WriteAbiCentred(doc, 3, "");
    export_detail::WriteAbiCentred(doc, 4, "");
    std::uint64_t xid = 5;
    if (!poem.editorLines.empty()) {
        for (const std::string& line : poem.editorLines)
            export_detail::WriteAbiCentred(doc, xid++, line);
    } else {
        ForEachLine(poem.text, [&](std::string_view line) {
            export_detail::WriteAbiCentred(doc, xid++, line);
        });
    }
    export_detail::WriteAbiLeft(doc, xid, "");
    export_detail::WriteAbiLeft(doc, xid + 1, "");
    export_detail::WriteAbiLabelled(doc, xid + 2, context.labels.poet, poem.poet);
    export_detail::WriteAbiLabelled(doc, xid + 3, context.labels.date, poem.date);
    doc.frameBlock(context.frame.end);
}

} // namespace

bool CanExportPoem(const EditorPoem& poem) {
    return !poem.title.empty() && !poem.text.empty();
}

std::string BuildPoemDocument(ExportFormat format, const EditorPoem& poem,
                              const ExportContext& context) {
    std::string out;
    DocumentWriter doc(out, format);
    switch (format) {
    case ExportFormat::Text:
        BuildText(doc, poem, context.labels);
        break;
    case ExportFormat::Xhtml:
        BuildXhtml(doc, poem, context);
        break;
    case ExportFormat::AbiWord:
        BuildAbiWord(doc, poem, context);
        break;
    default:
        throw std::invalid_argument("Unknown export format");
    }
    return out;
}

} // namespace stanzel
