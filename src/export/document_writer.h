#pragma once

// Pieces shared by the one-poem and whole-collection documents.

#include "export/export_document.h"
#include "export/markup_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel::export_detail {

// Appends one document: fixed markup as it stands, inserted values made safe
// for the format. Plain text takes values byte for byte; XHTML and AbiWord
// escape them and keep them UTF-8; AbiWord also ends every line in CR LF,
// whatever break a value or the frame brings.
class DocumentWriter {
public:
    DocumentWriter(std::string& out, ExportFormat format) : out_(out), format_(format) {}

    ExportFormat format() const { return format_; }

    DocumentWriter& raw(std::string_view markup) {
        out_.append(markup);
        return *this;
    }
    DocumentWriter& text(std::string_view value) { return insert(value, false); }
    DocumentWriter& attribute(std::string_view value) { return insert(value, true); }
    DocumentWriter& number(std::uint64_t value);
    // Ends the document's current line.
    void endLine() { out_.append("\r\n"); }
    // One of the AbiWord frame blocks, as one line of the document; every
    // break inside it becomes CR LF.
    void frameBlock(std::string_view block);

private:
    DocumentWriter& insert(std::string_view value, bool inAttribute);

    std::string& out_;
    ExportFormat format_;
};

// U+2028 LINE SEPARATOR in UTF-8. The editor puts one where the user breaks a
// line with Shift+Enter, and a pasted or hand-edited text may hold one; no
// document keeps it, it ends a line as a line break does.
inline constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";

// Calls `visit` with every line of `text`. A line ends at CR LF, at a lone LF,
// at a lone CR (so LF CR ends two lines) or at a line separator; a break at the
// very end makes no extra empty line.
template <typename Visit> void ForEachLine(std::string_view text, Visit&& visit) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            visit(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else if (c == kLineSeparator[0] && text.substr(i, 3) == kLineSeparator) {
            visit(text.substr(start, i - start));
            i += kLineSeparator.size();
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        visit(text.substr(start));
}

inline bool EndsWithLineBreak(std::string_view text) {
    return !text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.ends_with(kLineSeparator));
}

// The lines of the page up to and including the style sheet's h1 rule, which
// both pages share. The title element holds the poem's title before the
// product name on a one-poem page, the product name alone otherwise.
void WriteXhtmlHead(DocumentWriter& doc, std::optional<std::string_view> poemTitle,
                    const ExportColours& colours);

// `<ins>label</ins> value`, the poet and date lines of the pages.
void WriteXhtmlLabelled(DocumentWriter& doc, std::string_view label, std::string_view value);

// The poet's box, a line break and the date's box, with which both kinds of
// page end a poem.
void WriteXhtmlPoetAndDate(DocumentWriter& doc, const ExportLabels& labels, std::string_view poet,
                           std::string_view date);

// The AbiWord paragraphs.
void WriteAbiTitle(DocumentWriter& doc, std::uint64_t xid, std::string_view title);
void WriteAbiCentred(DocumentWriter& doc, std::uint64_t xid, std::string_view line);
void WriteAbiLeft(DocumentWriter& doc, std::uint64_t xid, std::string_view line);
void WriteAbiLabelled(DocumentWriter& doc, std::uint64_t xid, std::string_view label,
                      std::string_view value);

} // namespace stanzel::export_detail
