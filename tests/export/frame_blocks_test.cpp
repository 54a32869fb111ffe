#include "export/markup_text.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

std::vector<std::string> LfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

// The blocks are embedded as files; an editor that adds a final break or CR LF
// would change every AbiWord document.
TEST(FrameBlocksTest, ShapeOfTheEmbeddedFiles) {
    for (const std::string* block : {&testing::AbiStart(), &testing::AbiEnd()}) {
        ASSERT_FALSE(block->empty());
        EXPECT_EQ(block->find('\r'), std::string::npos);
        EXPECT_NE(block->back(), '\n');
        for (const char c : *block)
            EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\n');
    }
    EXPECT_EQ(testing::AbiEnd(), "</section>\n</abiword>");

    const auto lines = LfLines(testing::AbiStart());
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="UTF-8"?>)");
    EXPECT_EQ(lines[1], R"(<!DOCTYPE abiword PUBLIC "-//ABISOURCE//DTD AWML 1.0 Strict//EN" )"
                        R"("http://www.abisource.com/awml.dtd">)");
    for (const char* part :
         {R"(<abiword template="false" xmlns:fo="http://www.w3.org/1999/XSL/Format" )",
          R"( xmlns:math="http://www.w3.org/1998/Math/MathML" xid-max="53" )",
          R"( xmlns:dc="http://purl.org/dc/elements/1.1/" fileformat="1.1" )",
          R"( xmlns:svg="http://www.w3.org/2000/svg" )",
          R"( xmlns:awml="http://www.abisource.com/awml.dtd" )",
          R"( xmlns="http://www.abisource.com/awml.dtd" )",
          R"( xmlns:xlink="http://www.w3.org/1999/xlink" version="2.4.6" xml:space="preserve" )",
          "lang:hu-HU;", R"(document-endnote-place-endsection:0">)"})
        EXPECT_NE(lines[2].find(part), std::string::npos) << part;
    for (int i = 3; i <= 8; ++i)
        EXPECT_EQ(lines[i].size(), 81u) << "line " << i + 1;
    EXPECT_EQ(lines[6],
              "<!-- More information about AbiWord is available at http://www.abisource.com/ -->");
    EXPECT_EQ(lines[9], "");
    EXPECT_NE(lines[15].find(R"(top-xid="42"/>)"), std::string::npos);
    EXPECT_TRUE(lines[18].starts_with(R"(<section xid="1" props="page-margin-right:28.000000mm;)"));
}

} // namespace
} // namespace stanzel
