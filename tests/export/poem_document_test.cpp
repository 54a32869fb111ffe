#include "export/export_document.h"
#include "export/markup_text.h"
#include "export_test_support.h"
#include "storage/code_page.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::AbiEndWritten;
using testing::AbiStartWritten;
using testing::CrLfLines;
using testing::EnglishContext;
using testing::Paragraphs;
using testing::Xids;

EditorPoem Rain() {
    return {"Rain", "X", "1999", "a\r\nb", {"a", "b"}};
}

ExportContext RainContext() {
    ExportContext context = EnglishContext();
    context.colours = {0x00E2F8FC, 0x00CBF2FA, 0x00FFFFFF};
    return context;
}

TEST(PoemDocumentTest, RainAsText) {
    EXPECT_EQ(BuildPoemDocument(ExportFormat::Text, Rain(), RainContext()),
              "### Rain ###\n\r\na\r\nb\r\n\n\r\nPoet: X\r\nDate of writing: 1999\r\n\n\r\n"
              "### --- ###\r\n");
}

TEST(PoemDocumentTest, RainAsXhtml) {
    EXPECT_EQ(
        BuildPoemDocument(ExportFormat::Xhtml, Rain(), RainContext()),
        CrLfLines({
            R"(<?xml version="1.0" encoding="utf-8"?>)",
            R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.1//EN" "http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd">)",
            R"(<html xmlns="http://www.w3.org/1999/xhtml">)",
            "<head>",
            "<title>Rain | Stanzel v0.1 Beta</title>",
            R"(<meta http-equiv="content-type" content="application/xhtml+xml; charset=utf-8" />)",
            R"(<meta http-equiv="author" content="Stanzel v0.1 Beta" />)",
            R"(<style type="text/css">)",
            "body {background: #fcf8e2; font-family: verdana; color: #000; font-size: 12px; "
            "text-align: center; margin 0px;}",
            "h1 {margin: 0px; padding: 2px; background: #faf2cb; font-size: 16px; text-align: "
            "center; width: 99%;}",
            "</style>",
            "</head>",
            "<body>",
            "<div>",
            "<h1>Rain</h1>",
            "<br />",
            "<br />",
            "a<br />\r\nb",
            "<br />",
            "<br />",
            R"(<div style="text-align: left; font-weight: bold;">)",
            "<ins>Poet:</ins> X",
            "</div>",
            "<br />",
            R"(<div style="text-align: left; font-weight: bold;">)",
            "<ins>Date of writing:</ins> 1999",
            "</div>",
            "</div>",
            "</body>",
            "</html>",
        }));
}

TEST(PoemDocumentTest, RainAsAbiWord) {
    EXPECT_EQ(
        BuildPoemDocument(ExportFormat::AbiWord, Rain(), RainContext()),
        AbiStartWritten() +
            CrLfLines({
                R"(<p xid="2" props="text-align:center"><c props="font-weight:bold; font-size:14pt">Rain</c></p>)",
                R"(<p xid="3" props="text-align:center"></p>)",
                R"(<p xid="4" props="text-align:center"></p>)",
                R"(<p xid="5" props="text-align:center">a</p>)",
                R"(<p xid="6" props="text-align:center">b</p>)",
                R"(<p xid="7" props="text-align:left"></p>)",
                R"(<p xid="8" props="text-align:left"></p>)",
                R"(<p xid="9" props="text-align:left">Poet: X</p>)",
                R"(<p xid="10" props="text-align:left">Date of writing: 1999</p>)",
            }) +
            AbiEndWritten());
}

TEST(PoemDocumentTest, TextStartsWithHeadingAndKeepsFirstLine) {
    EditorPoem poem = Rain();
    poem.text = "first\r\nsecond\r\n";
    const std::string text = BuildPoemDocument(ExportFormat::Text, poem, EnglishContext());
    EXPECT_TRUE(text.starts_with("### Rain ###\x0A\x0D\x0A"
                                 "first\r\nsecond\r\n\n\r\n"))
        << text;
}

// A break at the end of the text shows as one more "<br />" and an empty line;
// without it the last line has none.
TEST(PoemDocumentTest, XhtmlFinalLineBreak) {
    struct Row {
        const char* name;
        std::string text;
        std::string body;
    };
    const Row rows[] = {
        {"NoFinalBreak", "a\r\nb", "<br />\r\n<br />\r\na<br />\r\nb\r\n<br />\r\n"},
        {"FinalBreak", "a\r\nb\r\n", "<br />\r\n<br />\r\na<br />\r\nb<br />\r\n\r\n<br />\r\n"},
        {"EmptyLines", "a\r\n\r\n\r\nb", "<br />\r\na<br />\r\n<br />\r\n<br />\r\nb\r\n<br />"},
        {"BreakOnly", "\r\n", "<br />\r\n<br />\r\n<br />\r\n\r\n<br />\r\n"},
    };
    for (const Row& row : rows) {
        EditorPoem poem = Rain();
        poem.text = row.text;
        EXPECT_NE(BuildPoemDocument(ExportFormat::Xhtml, poem, EnglishContext()).find(row.body),
                  std::string::npos)
            << row.name;
    }
}

// The editor's displayed rows make the AbiWord paragraphs; the other formats
// follow the text, which wrapping does not change.
TEST(PoemDocumentTest, AbiWordParagraphsFollowDisplayedRows) {
    EditorPoem poem = Rain();
    poem.text = "a long line\r\nb";
    poem.editorLines = {"a long", "line", "b"};
    EXPECT_EQ(Paragraphs(BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext())),
              (std::vector<std::string>{
                  "2:center:Rain", "3:center:", "4:center:", "5:center:a long", "6:center:line",
                  "7:center:b", "8:left:", "9:left:", "10:left:Poet: X",
                  "11:left:Date of writing: 1999"}));
    EXPECT_NE(BuildPoemDocument(ExportFormat::Text, poem, EnglishContext()).find("a long line\r\n"),
              std::string::npos);

    poem.editorLines.clear(); // an editor without a row list: its lines serve
    EXPECT_EQ(Xids(BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext())),
              (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

// Shift+Enter in the editor, or a pasted text, leaves U+2028 LINE SEPARATOR
// inside a line; every format breaks the line there and keeps no separator.
TEST(PoemDocumentTest, LineSeparatorBreaksTheLineInEveryFormat) {
    const std::string separator = "\xE2\x80\xA8";
    EditorPoem poem = Rain();
    poem.text = "a" + separator + "b\r\nc" + separator;
    poem.editorLines.clear();
    for (const auto format : {ExportFormat::Text, ExportFormat::Xhtml, ExportFormat::AbiWord}) {
        const std::string document = BuildPoemDocument(format, poem, EnglishContext());
        EXPECT_EQ(document.find(separator), std::string::npos) << static_cast<int>(format);
    }
    EXPECT_NE(BuildPoemDocument(ExportFormat::Text, poem, EnglishContext())
                  .find("a\r\nb\r\nc\r\n\n\r\nPoet:"),
              std::string::npos);
    EXPECT_NE(BuildPoemDocument(ExportFormat::Xhtml, poem, EnglishContext())
                  .find("a<br />\r\nb<br />\r\nc<br />\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(Paragraphs(BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext())),
              (std::vector<std::string>{"2:center:Rain", "3:center:", "4:center:", "5:center:a",
                                        "6:center:b", "7:center:c", "8:left:", "9:left:",
                                        "10:left:Poet: X", "11:left:Date of writing: 1999"}));
}

TEST(PoemDocumentTest, AbiWordXidsForOneAndThreeLines) {
    EditorPoem poem = Rain();
    poem.text = "only";
    poem.editorLines = {"only"};
    EXPECT_EQ(Xids(BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext())),
              (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

    poem.text = "x\r\ny\r\nz";
    poem.editorLines = {"x", "y", "z"};
    EXPECT_EQ(Paragraphs(BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext())),
              (std::vector<std::string>{"2:center:Rain", "3:center:", "4:center:", "5:center:x",
                                        "6:center:y", "7:center:z", "8:left:", "9:left:",
                                        "10:left:Poet: X", "11:left:Date of writing: 1999"}));
}

// Unescaped, "Tom & Jerry <1>" makes the whole page fail to parse.
TEST(PoemDocumentTest, MarkupInValuesIsEscaped) {
    EditorPoem poem{"Tom & Jerry <1>", "\"Q\" & <P>", "<1999>", "a < b & c > d\r\n\"e\"", {}};
    ExportContext context = EnglishContext();
    context.labels.poet = "Poet & Co:";

    const std::string xhtml = BuildPoemDocument(ExportFormat::Xhtml, poem, context);
    EXPECT_NE(xhtml.find("<title>Tom &amp; Jerry &lt;1&gt; | Stanzel v0.1 Beta</title>"),
              std::string::npos);
    EXPECT_NE(xhtml.find("<h1>Tom &amp; Jerry &lt;1&gt;</h1>"), std::string::npos);
    EXPECT_NE(xhtml.find("a &lt; b &amp; c &gt; d<br />\r\n\"e\"\r\n"), std::string::npos);
    EXPECT_NE(xhtml.find("<ins>Poet &amp; Co:</ins> \"Q\" &amp; &lt;P&gt;"), std::string::npos);
    EXPECT_NE(xhtml.find("<ins>Date of writing:</ins> &lt;1999&gt;"), std::string::npos);

    const std::string abiword = BuildPoemDocument(ExportFormat::AbiWord, poem, context);
    EXPECT_NE(abiword.find("font-size:14pt\">Tom &amp; Jerry &lt;1&gt;</c></p>"),
              std::string::npos);
    EXPECT_NE(abiword.find(">a &lt; b &amp; c &gt; d</p>"), std::string::npos);
    EXPECT_NE(abiword.find(">Poet &amp; Co: \"Q\" &amp; &lt;P&gt;</p>"), std::string::npos);

    // Plain text is no markup: everything stays as typed.
    const std::string text = BuildPoemDocument(ExportFormat::Text, poem, context);
    EXPECT_TRUE(text.starts_with("### Tom & Jerry <1> ###\n\r\na < b & c > d\r\n\"e\"\r\n"));
    EXPECT_NE(text.find("Poet & Co: \"Q\" & <P>\r\n"), std::string::npos);
}

// Text is UTF-8: accented letters pass through every format unchanged, and the
// page says so; bytes that are not UTF-8 never reach the markup formats raw.
TEST(PoemDocumentTest, CharacterSets) {
    EditorPoem poem{"Őszi éj", "Ady Endre", "1906. ősz", "Fűzfa ring\r\nű ő", {}};
    const std::string xhtml = BuildPoemDocument(ExportFormat::Xhtml, poem, EnglishContext());
    EXPECT_TRUE(xhtml.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
    EXPECT_NE(xhtml.find("content=\"application/xhtml+xml; charset=utf-8\""), std::string::npos);
    EXPECT_EQ(xhtml.find("iso-8859"), std::string::npos);
    EXPECT_NE(xhtml.find("<h1>Őszi éj</h1>"), std::string::npos);
    EXPECT_NE(
        BuildPoemDocument(ExportFormat::Text, poem, EnglishContext()).find("Fűzfa ring\r\nű ő"),
        std::string::npos);
    const std::string abiword = BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext());
    EXPECT_NE(abiword.find(">Fűzfa ring</p>"), std::string::npos);
    EXPECT_NE(abiword.find(">ű ő</p>"), std::string::npos);

    // Latin-2 bytes of a file from elsewhere: "\xF5" is ő there.
    poem.text = "f\xF5z\x01";
    const std::string latin2 = BuildPoemDocument(ExportFormat::AbiWord, poem, EnglishContext());
    EXPECT_TRUE(IsUtf8(latin2));
    EXPECT_NE(latin2.find(">f\xEF\xBF\xBDz\xEF\xBF\xBD</p>"), std::string::npos);
    EXPECT_TRUE(IsUtf8(BuildPoemDocument(ExportFormat::Xhtml, poem, EnglishContext())));
    EXPECT_NE(BuildPoemDocument(ExportFormat::Text, poem, EnglishContext()).find("f\xF5z\x01"),
              std::string::npos);
}

// However the frame or a value breaks its lines, every line of the AbiWord
// file ends in CR LF, the last one included.
TEST(PoemDocumentTest, AbiWordLinesAllEndInCrLf) {
    EditorPoem poem = Rain();
    poem.poet = "one\ntwo\rthree";
    ExportContext context = EnglishContext();
    const std::string document = BuildPoemDocument(ExportFormat::AbiWord, poem, context);
    EXPECT_TRUE(document.ends_with("</section>\r\n</abiword>\r\n"));
    for (std::size_t i = 0; i < document.size(); ++i) {
        if (document[i] == '\n') {
            ASSERT_TRUE(i > 0 && document[i - 1] == '\r') << "lone LF at " << i;
        }
        if (document[i] == '\r') {
            ASSERT_TRUE(i + 1 < document.size() && document[i + 1] == '\n') << "lone CR at " << i;
        }
    }
    EXPECT_NE(document.find(">Poet: one\r\ntwo\r\nthree</p>"), std::string::npos);
}

} // namespace
} // namespace stanzel
