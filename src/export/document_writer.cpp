#include "export/document_writer.h"

#include "export/html_color.h"

#include <charconv>

namespace stanzel::export_detail {

DocumentWriter& DocumentWriter::number(std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out_.append(digits, end);
    return *this;
}

DocumentWriter& DocumentWriter::insert(std::string_view value, bool inAttribute) {
    switch (format_) {
    case ExportFormat::Text:
        out_.append(value);
        break;
    case ExportFormat::Xhtml:
        AppendXmlText(out_, value, {.attribute = inAttribute, .crLfBreaks = false});
        break;
    case ExportFormat::AbiWord:
        AppendXmlText(out_, value, {.attribute = inAttribute, .crLfBreaks = true});
        break;
    }
    return *this;
}

void DocumentWriter::frameBlock(std::string_view block) {
    // The frame is the program's own ASCII; only its line breaks change. Its
    // last line is ended here, even when empty, as the document's own break
    // would have ended it.
    std::size_t start = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        const char c = block[i];
        if (c != '\r' && c != '\n')
            continue;
        out_.append(block.substr(start, i - start));
        endLine();
        if (c == '\r' && i + 1 < block.size() && block[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    out_.append(block.substr(start));
    endLine();
}

void WriteXhtmlHead(DocumentWriter& doc, std::optional<std::string_view> poemTitle,
                    const ExportColours& colours) {
    doc.raw(R"(<?xml version="1.0" encoding="utf-8"?>)").endLine();
    doc.raw(R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.1//EN" )"
            R"("http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd">)")
        .endLine();
    doc.raw(R"(<html xmlns="http://www.w3.org/1999/xhtml">)").endLine();
    doc.raw("<head>").endLine();
    doc.raw("<title>");
    if (poemTitle)
        doc.text(*poemTitle).raw(" | ");
    doc.raw(kExportProductName).raw("</title>").endLine();
    doc.raw(R"(<meta http-equiv="content-type" content="application/xhtml+xml; charset=utf-8" />)")
        .endLine();
    doc.raw(R"(<meta http-equiv="author" content=")")
        .raw(kExportProductName)
        .raw(R"(" />)")
        .endLine();
    doc.raw(R"(<style type="text/css">)").endLine();
    doc.raw("body {background: ")
        .raw(htmlcolor(colours.text))
        .raw("; font-family: verdana; color: #000; font-size: 12px; text-align: center; "
             "margin 0px;}")
        .endLine();
    doc.raw("h1 {margin: 0px; padding: 2px; background: ")
        .raw(htmlcolor(colours.title))
        .raw("; font-size: 16px; text-align: center; width: 99%;}")
        .endLine();
}

void WriteXhtmlLabelled(DocumentWriter& doc, std::string_view label, std::string_view value) {
    doc.raw("<ins>").text(label).raw("</ins> ").text(value).endLine();
}

void WriteXhtmlPoetAndDate(DocumentWriter& doc, const ExportLabels& labels, std::string_view poet,
                           std::string_view date) {
    doc.raw(R"(<div style="text-align: left; font-weight: bold;">)").endLine();
    WriteXhtmlLabelled(doc, labels.poet, poet);
    doc.raw("</div>").endLine();
    doc.raw("<br />").endLine();
    doc.raw(R"(<div style="text-align: left; font-weight: bold;">)").endLine();
    WriteXhtmlLabelled(doc, labels.date, date);
    doc.raw("</div>").endLine();
}

void WriteAbiTitle(DocumentWriter& doc, std::uint64_t xid, std::string_view title) {
    doc.raw(R"(<p xid=")")
        .number(xid)
        .raw(R"(" props="text-align:center"><c props="font-weight:bold; font-size:14pt">)")
        .text(title)
        .raw("</c></p>")
        .endLine();
}

void WriteAbiCentred(DocumentWriter& doc, std::uint64_t xid, std::string_view line) {
    doc.raw(R"(<p xid=")")
        .number(xid)
        .raw(R"(" props="text-align:center">)")
        .text(line)
        .raw("</p>")
        .endLine();
}

void WriteAbiLeft(DocumentWriter& doc, std::uint64_t xid, std::string_view line) {
    doc.raw(R"(<p xid=")").number(xid).raw(R"(" props="text-align:left">)").text(line).raw("</p>");
    doc.endLine();
}

void WriteAbiLabelled(DocumentWriter& doc, std::uint64_t xid, std::string_view label,
                      std::string_view value) {
    doc.raw(R"(<p xid=")")
        .number(xid)
        .raw(R"(" props="text-align:left">)")
        .text(label)
        .raw(" ")
        .text(value)
        .raw("</p>")
        .endLine();
}

} // namespace stanzel::export_detail
