#include "export/collection_export.h"
#include "export_test_support.h"
#include "storage/poem_store.h"
#include "storage/storage_error.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::AbiEndWritten;
using testing::AbiStartWritten;
using testing::CrLfLines;
using testing::EnglishContext;
using testing::Paragraphs;
using testing::TestDir;
using testing::WriteBytes;
using testing::Xids;
using Outcome = CollectionDocument::Outcome;

class CollectionExportTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(dir / "poems"); }

    void index(std::string_view bytes) { WriteBytes(dir / "poems.dmp", bytes); }
    void poemFile(std::string_view id, std::string_view bytes) {
        WriteBytes(dir / "poems" / (std::string(id) + ".poem"), bytes);
    }
    void rain() {
        index("[1]\r\ntitle=Rain\r\npoet=X\r\ndate=1999\r\n");
        poemFile("1", "a\r\nb");
    }

    std::string build(ExportFormat format, const ExportProgress& progress = {}) {
        const CollectionDocument document =
            BuildCollectionDocument(store, format, context, progress);
        EXPECT_EQ(document.outcome, Outcome::Built);
        return std::string(document.bytes.view());
    }

    TestDir dir;
    PoemStore store{dir.path()};
    ExportContext context = EnglishContext();
};

TEST_F(CollectionExportTest, RainAsText) {
    rain();
    EXPECT_EQ(build(ExportFormat::Text),
              "### Rain ###\r\n\n\r\na\r\nb\r\n\r\n\n\r\nPoet: X\r\nDate of writing: 1999\r\n"
              "\n\r\n### --- ###\r\n\n\r\r\n");
}

TEST_F(CollectionExportTest, RainAsXhtml) {
    rain();
    context.colours = {0x00E2F8FC, 0x00CBF2FA, 0x00C0C0C0};
    EXPECT_EQ(
        build(ExportFormat::Xhtml),
        CrLfLines({
            R"(<?xml version="1.0" encoding="utf-8"?>)",
            R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.1//EN" "http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd">)",
            R"(<html xmlns="http://www.w3.org/1999/xhtml">)",
            "<head>",
            "<title>Stanzel v0.1 Beta</title>",
            R"(<meta http-equiv="content-type" content="application/xhtml+xml; charset=utf-8" />)",
            R"(<meta http-equiv="author" content="Stanzel v0.1 Beta" />)",
            R"(<style type="text/css">)",
            "body {background: #fcf8e2; font-family: verdana; color: #000; font-size: 12px; "
            "text-align: center; margin 0px;}",
            "h1 {margin: 0px; padding: 2px; background: #faf2cb; font-size: 16px; text-align: "
            "center; width: 99%;}",
            "p {margin: 3px; padding: 0px; font-size: 10px; text-align: right; font-weight: bold;}",
            "a {text-decoration: none; color: #3e659c;}",
            "a:hover {color: #3e659c; text-decoration: underline;}",
            "</style>",
            "</head>",
            "<body>",
            R"(<div id="top">)",
            R"(<div style="float: left; text-align: left; margin-right: 5px; padding: 2px; border: 1px solid #c0c0c0; background: silver; width: 25%;">)",
            "<h1>Poems:</h1>",
            "<br />",
            R"(&bull; <a href="#poem-1">Rain</a> <br />)",
            "</div>",
            R"(<div style="float: left; width: 70%; padding: 2px; border: 1px solid #c0c0c0; background: #fcf8e2;">)",
            R"(<h1 id="poem-1">Rain</h1>)",
            "<br />",
            "a<br />\r\nb<br />\r\n",
            R"(<div style="text-align: left; font-weight: bold;">)",
            "<ins>Poet:</ins> X",
            "</div>",
            "<br />",
            R"(<div style="text-align: left; font-weight: bold;">)",
            "<ins>Date of writing:</ins> 1999",
            "</div>",
            R"(<p><a href="#top">^ TOP ^</a></p>)",
            "<br />",
            R"(<br style="clear: both;" />)",
            "</div>",
            "</div>",
            "</body>",
            "</html>",
        }));
}

TEST_F(CollectionExportTest, RainAsAbiWord) {
    rain();
    EXPECT_EQ(
        build(ExportFormat::AbiWord),
        AbiStartWritten() +
            CrLfLines({
                R"(<p xid="2" props="text-align:center"><c props="font-weight:bold; font-size:14pt">Rain</c></p>)",
                R"(<p xid="3" props="text-align:center"></p>)",
                R"(<p xid="4" props="text-align:center"></p>)",
                R"(<p xid="5" props="text-align:center">a</p>)",
                R"(<p xid="6" props="text-align:center">b</p>)",
                R"(<p xid="8" props="text-align:left"></p>)",
                R"(<p xid="9" props="text-align:left"></p>)",
                R"(<p xid="10" props="text-align:left">Poet: X</p>)",
                R"(<p xid="11" props="text-align:left">Date of writing: 1999</p>)",
                R"(<p xid="12" props="text-align:left"></p>)",
                R"(<p xid="13" props="text-align:left"></p>)",
                R"(<p xid="14" props="text-align:left"></p>)",
                R"(<p xid="15" props="text-align:left"></p>)",
            }) +
            AbiEndWritten());
}

TEST_F(CollectionExportTest, AbiWordXidsForPoemsOfTwoAndThreeLines) {
    index("[1]\r\ntitle=A\r\npoet=P\r\ndate=D\r\n[2]\r\ntitle=B\r\npoet=Q\r\ndate=E\r\n");
    poemFile("1", "a1\r\na2\r\n");
    poemFile("2", "b1\r\nb2\r\nb3");
    EXPECT_EQ(Paragraphs(build(ExportFormat::AbiWord)),
              (std::vector<std::string>{"2:center:A",
                                        "3:center:",
                                        "4:center:",
                                        "5:center:a1",
                                        "6:center:a2",
                                        "8:left:",
                                        "9:left:",
                                        "10:left:Poet: P",
                                        "11:left:Date of writing: D",
                                        "12:left:",
                                        "13:left:",
                                        "14:left:",
                                        "15:left:",
                                        "16:center:B",
                                        "17:center:",
                                        "18:center:",
                                        "19:center:b1",
                                        "20:center:b2",
                                        "21:center:b3",
                                        "23:left:",
                                        "24:left:",
                                        "25:left:Poet: Q",
                                        "26:left:Date of writing: E",
                                        "27:left:",
                                        "28:left:",
                                        "29:left:",
                                        "30:left:"}));
}

// One poem of n lines: 1, 2 to 4, 5 to 4 + n, and 6 + n to 13 + n.
TEST_F(CollectionExportTest, AbiWordXidsForOnePoem) {
    for (const int n : {0, 1, 4}) {
        index("[1]\r\ntitle=T\r\n");
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "line\r\n";
        poemFile("1", text);
        std::vector<unsigned> expected{1, 2, 3, 4};
        for (int i = 0; i < n; ++i)
            expected.push_back(5 + i);
        for (int x = 6 + n; x <= 13 + n; ++x)
            expected.push_back(x);
        EXPECT_EQ(Xids(build(ExportFormat::AbiWord)), expected) << n << " lines";
    }
}

// The index's order is the collection's, whatever the ids.
TEST_F(CollectionExportTest, PoemsInIndexOrder) {
    index("[3]\r\ntitle=Three\r\n[1]\r\ntitle=One\r\n[2]\r\ntitle=Two\r\n");
    for (const char* id : {"1", "2", "3"})
        poemFile(id, std::string("text ") + id);
    const auto positions = [](const std::string& document,
                              std::initializer_list<const char*> parts) {
        std::vector<std::size_t> found;
        for (const char* part : parts)
            found.push_back(document.find(part));
        return found;
    };
    const auto ascending = [](const std::vector<std::size_t>& found) {
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (found[i] == std::string::npos || (i > 0 && found[i] <= found[i - 1]))
                return false;
        }
        return true;
    };
    for (const ExportFormat format :
         {ExportFormat::Text, ExportFormat::Xhtml, ExportFormat::AbiWord})
        EXPECT_TRUE(ascending(positions(build(format), {"text 3", "text 1", "text 2"})))
            << static_cast<int>(format);
    const std::string xhtml = build(ExportFormat::Xhtml);
    EXPECT_TRUE(
        ascending(positions(xhtml, {"href=\"#poem-3\">Three</a>", "href=\"#poem-1\">One</a>",
                                    "href=\"#poem-2\">Two</a>", "<h1 id=\"poem-3\">Three</h1>",
                                    "<h1 id=\"poem-1\">One</h1>", "<h1 id=\"poem-2\">Two</h1>"})));
}

// Missing entries read as one blank, and the text file is split at every kind
// of break, LF CR counting as two and a line separator as one.
TEST_F(CollectionExportTest, IndexDefaultsAndLineSplitting) {
    index("[1]\r\n");
    poemFile("1", "a\n\rb\rc\xE2\x80\xA8" "d\n");
    EXPECT_EQ(build(ExportFormat::Text),
              "###   ###\r\n\n\r\na\r\n\r\nb\r\nc\r\nd\r\n\r\n\n\r\nPoet:  \r\n"
              "Date of writing:  \r\n\n\r\n### --- ###\r\n\n\r\r\n");
    for (const auto format : {ExportFormat::Xhtml, ExportFormat::AbiWord})
        EXPECT_EQ(build(format).find("\xE2\x80\xA8"), std::string::npos);
}

TEST_F(CollectionExportTest, EmptyPoemFile) {
    index("[1]\r\ntitle=Nothing\r\n");
    poemFile("1", "");
    EXPECT_NE(build(ExportFormat::Text).find("### Nothing ###\r\n\n\r\n\r\n\n\r\nPoet:"),
              std::string::npos);
    EXPECT_NE(
        build(ExportFormat::Xhtml).find("<h1 id=\"poem-1\">Nothing</h1>\r\n<br />\r\n\r\n<div"),
        std::string::npos);
    EXPECT_EQ(Xids(build(ExportFormat::AbiWord)),
              (std::vector<unsigned>{1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13}));
}

TEST_F(CollectionExportTest, MarkupInIndexEntriesIsEscaped) {
    index("[1]\r\ntitle=Tom & Jerry <1>\r\npoet=A&B\r\n");
    poemFile("1", "x < y");
    const std::string xhtml = build(ExportFormat::Xhtml);
    EXPECT_NE(xhtml.find("<a href=\"#poem-1\">Tom &amp; Jerry &lt;1&gt;</a>"), std::string::npos);
    EXPECT_NE(xhtml.find("<h1 id=\"poem-1\">Tom &amp; Jerry &lt;1&gt;</h1>"), std::string::npos);
    EXPECT_NE(xhtml.find("x &lt; y<br />"), std::string::npos);
    EXPECT_NE(xhtml.find("<ins>Poet:</ins> A&amp;B"), std::string::npos);
    const std::string abiword = build(ExportFormat::AbiWord);
    EXPECT_NE(abiword.find("14pt\">Tom &amp; Jerry &lt;1&gt;</c>"), std::string::npos);
    EXPECT_NE(abiword.find(">Poet: A&amp;B</p>"), std::string::npos);
    EXPECT_NE(build(ExportFormat::Text).find("### Tom & Jerry <1> ###"), std::string::npos);
}

TEST_F(CollectionExportTest, EmptyOrMissingIndexBuildsNothing) {
    EXPECT_EQ(BuildCollectionDocument(store, ExportFormat::Text, context).outcome, Outcome::Empty);
    index("; nothing here\r\n");
    int calls = 0;
    const auto document =
        BuildCollectionDocument(store, ExportFormat::Xhtml, context, [&](auto, auto) {
            ++calls;
            return ProgressAnswer::Continue;
        });
    EXPECT_EQ(document.outcome, Outcome::Empty);
    EXPECT_TRUE(document.bytes.empty());
    EXPECT_EQ(calls, 0);
}

// A poem whose text cannot be read stops the export: no empty poem in its place.
TEST_F(CollectionExportTest, UnreadablePoemStopsTheExport) {
    index("[1]\r\ntitle=A\r\n[2]\r\ntitle=B\r\n");
    poemFile("1", "a");
    const std::string missing = (dir / "poems" / "2.poem").string();
    try {
        BuildCollectionDocument(store, ExportFormat::Text, context);
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + missing + "\". No such file or directory.");
    }

    // An id that is no number never names a file, here or elsewhere.
    index("[1]\r\ntitle=A\r\n[../../secret]\r\ntitle=B\r\n");
    WriteBytes(dir / "secret.poem", "not a poem");
    EXPECT_THROW(BuildCollectionDocument(store, ExportFormat::Xhtml, context), StorageError);
}

// The poems are read a few batches ahead of the document, into memory that is
// used again from batch to batch: every poem must come whole and in order,
// whatever the size of the one read before it into the same place.
TEST_F(CollectionExportTest, ManyPoemsOfEverySizeComeWholeAndInOrder) {
    std::string bytes;
    std::string expected;
    for (int id = 1; id <= 300; ++id) {
        const std::string name = std::to_string(id);
        const std::size_t size = id % 97 == 0 ? (3u << 20) / (id % 2 + 1) : id % 7 == 0 ? 0 : id * 13;
        // Lines of a verse's length: a longer one is no poem the editor shows.
        std::string text(size, static_cast<char>('a' + id % 26));
        for (std::size_t at = 78; at + 2 < text.size(); at += 80)
            text.replace(at, 2, "\r\n");
        bytes += "[" + name + "]\r\ntitle=T" + name + "\r\npoet=P" + name + "\r\n";
        poemFile(name, text);
        expected += "### T" + name + " ###\r\n\n\r\n" + (text.empty() ? "" : text + "\r\n") +
                    "\r\n\n\r\nPoet: P" + name + "\r\nDate of writing:  \r\n\n\r\n" +
                    "### --- ###\r\n\n\r\r\n";
    }
    index(bytes);
    EXPECT_TRUE(build(ExportFormat::Text) == expected);

    std::filesystem::remove(dir / "poems" / "250.poem");
    try {
        BuildCollectionDocument(store, ExportFormat::AbiWord, context);
        FAIL() << "no error";
    } catch (const StorageError& error) {
        EXPECT_NE(std::string(error.what()).find("250.poem"), std::string::npos) << error.what();
    }
}

TEST_F(CollectionExportTest, ProgressAndCancel) {
    std::string bytes;
    for (int id = 1; id <= 450; ++id) {
        bytes += "[" + std::to_string(id) + "]\r\ntitle=T\r\n";
        poemFile(std::to_string(id), "line");
    }
    index(bytes);

    std::vector<std::size_t> seen;
    build(ExportFormat::AbiWord, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 450u);
        seen.push_back(done);
        return ProgressAnswer::Continue;
    });
    ASSERT_GE(seen.size(), 3u);
    EXPECT_LE(seen.size(), 250u);
    EXPECT_EQ(seen.front(), 0u);
    EXPECT_EQ(seen.back(), 450u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

    for (const ExportFormat format :
         {ExportFormat::Text, ExportFormat::Xhtml, ExportFormat::AbiWord}) {
        for (const std::size_t cancelAt : {std::size_t{0}, std::size_t{100}, std::size_t{450}}) {
            const auto document =
                BuildCollectionDocument(store, format, context, [&](std::size_t done, std::size_t) {
                    return done >= cancelAt ? ProgressAnswer::Cancel : ProgressAnswer::Continue;
                });
            EXPECT_EQ(document.outcome, Outcome::Cancelled) << cancelAt;
            EXPECT_TRUE(document.bytes.empty());
        }
    }
}

} // namespace
} // namespace stanzel
