#pragma once

#include "export/export_document.h"
#include "test_dir.h"

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel::testing {

// The frame blocks exactly as the program embeds them.
inline const std::string& AbiStart() {
    static const std::string bytes =
        ReadBytes(std::filesystem::path(STANZEL_RESOURCES_DIR) / "abiword" / "abi_start.txt");
    return bytes;
}

inline const std::string& AbiEnd() {
    static const std::string bytes =
        ReadBytes(std::filesystem::path(STANZEL_RESOURCES_DIR) / "abiword" / "abi_end.txt");
    return bytes;
}

// The frame as it stands in a written document: every line ended by CR LF.
inline std::string AbiStartWritten() {
    std::string out;
    for (char c : AbiStart()) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out + "\r\n";
}

inline std::string AbiEndWritten() {
    return "</section>\r\n</abiword>\r\n";
}

inline ExportContext EnglishContext() {
    ExportContext context;
    context.labels = {"Poet:", "Date of writing:", "Poems", "Text files", "Html Documents"};
    context.colours = {kBoxColour, kBoxColour, kBoxColour};
    context.frame = {AbiStart(), AbiEnd()};
    return context;
}

} // namespace stanzel::testing

namespace stanzel::testing {

// Document lines as written: each followed by CR LF.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

// The xid attributes of a document, in order.
inline std::vector<unsigned> Xids(std::string_view document) {
    std::vector<unsigned> xids;
    constexpr std::string_view kAttribute = " xid=\"";
    for (auto at = document.find(kAttribute); at != std::string_view::npos;
         at = document.find(kAttribute, at + 1)) {
        xids.push_back(static_cast<unsigned>(
            std::stoul(std::string(document.substr(at + kAttribute.size(), 12)))));
    }
    return xids;
}

// The paragraphs after the frame's section line, each as "xid:align:text".
inline std::vector<std::string> Paragraphs(std::string_view document) {
    std::vector<std::string> paragraphs;
    constexpr std::string_view kOpen = "<p xid=\"";
    for (auto at = document.find(kOpen); at != std::string_view::npos;
         at = document.find(kOpen, at + 1)) {
        const auto quote = document.find('"', at + kOpen.size());
        const auto align = document.find("text-align:", quote) + 11;
        const auto alignEnd = document.find('"', align);
        auto content = document.find('>', alignEnd) + 1;
        if (document.substr(content, 3) == "<c ")
            content = document.find('>', content) + 1;
        const auto contentEnd = document.find('<', content);
        paragraphs.push_back(
            std::string(document.substr(at + kOpen.size(), quote - at - kOpen.size())) + ":" +
            std::string(document.substr(align, alignEnd - align)) + ":" +
            std::string(document.substr(content, contentEnd - content)));
    }
    return paragraphs;
}

} // namespace stanzel::testing
