#include "printing/print_layout.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

// Everything the layout did to the surface, in order. Every character is 10
// dots wide, and the font is a tall one whose height follows its size (67 at
// 8 points), reported negative as printer drivers do.
class RecordingSurface : public PrintSurface {
public:
    struct Text {
        int page;
        int x;
        int y;
        std::string text;
        int size;
        FontStyle style;
    };

    void beginDocument(std::string_view name) override {
        documentName = name;
        ++begun;
    }
    void endDocument() override { ++ended; }
    int pageWidth() const override { return width; }
    int pageHeight() const override { return height; }
    int fontSize() const override { return size; }
    void setFontSize(int points) override { size = points; }
    FontStyle fontStyle() const override { return style; }
    void setFontStyle(FontStyle newStyle) override { style = newStyle; }
    int fontHeight() const override { return -((size * 600 + 36) / 72); }
    int textWidth(std::string_view text) const override {
        return 10 * static_cast<int>(text.size()) +
               (style.bold ? static_cast<int>(text.size()) : 0);
    }
    void drawText(int x, int y, std::string_view text) override {
        texts.push_back({page, x, y, std::string(text), size, style});
    }
    void newPage() override { ++page; }

    int width = 4800;
    int height = 6600;
    int size = 8;
    FontStyle style;
    int page = 0;
    int begun = 0;
    int ended = 0;
    std::string documentName;
    std::vector<Text> texts;
};

constexpr int kStep = 67 + 10; // body font height plus the line gap

PrintedPoem Poem(std::vector<std::string> lines, std::string poet = "Ady",
                 std::string date = "1906") {
    return {
        "Rain", std::move(lines), "Poet:", std::move(poet), "Date of writing:", std::move(date)};
}

std::vector<std::string> Numbered(int count) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

TEST(PrintLayout, OneLinePoemWithFooter) {
    RecordingSurface surface;
    PrintPoem(surface, Poem({"Under the sky"}));

    EXPECT_EQ(surface.documentName, "Rain");
    EXPECT_EQ(surface.begun, 1);
    EXPECT_EQ(surface.ended, 1);
    ASSERT_EQ(surface.texts.size(), 4u);

    const auto& title = surface.texts[0];
    EXPECT_EQ(title.text, "Rain");
    EXPECT_EQ(title.y, 50);
    EXPECT_EQ(title.x, 2400 - 44 / 2); // measured bold: 4 x 11
    EXPECT_EQ(title.size, 10);
    EXPECT_EQ(title.style, FontStyle{.bold = true});

    const auto& line = surface.texts[1];
    EXPECT_EQ(line.text, "Under the sky");
    EXPECT_EQ(line.y, 150);
    EXPECT_EQ(line.x, 2400 - 130 / 2);
    EXPECT_EQ(line.size, 8);
    EXPECT_EQ(line.style, FontStyle{});

    const FontStyle footerStyle{.italic = true, .underline = true};
    EXPECT_EQ(surface.texts[2].text, "Poet: Ady");
    EXPECT_EQ(surface.texts[2].x, 200);
    EXPECT_EQ(surface.texts[2].y, 150 + kStep + 150);
    EXPECT_EQ(surface.texts[2].style, footerStyle);
    EXPECT_EQ(surface.texts[3].text, "Date of writing: 1906");
    EXPECT_EQ(surface.texts[3].x, 200);
    EXPECT_EQ(surface.texts[3].y, 150 + kStep + 200);
    EXPECT_EQ(surface.texts[3].size, 8);
    EXPECT_EQ(surface.page, 0);
}

TEST(PrintLayout, EveryJobLooksTheSameWhateverTheFontWasLeftWith) {
    RecordingSurface surface;
    surface.style = {.bold = true, .italic = true, .underline = true};
    PrintPoem(surface, Poem({"a", "b"}));
    EXPECT_EQ(surface.texts[0].style, FontStyle{.bold = true});
    EXPECT_EQ(surface.texts[1].style, FontStyle{});
    EXPECT_EQ(surface.texts[2].style, FontStyle{});
    // Left at body size, italic and underlined, ready for the next job.
    EXPECT_EQ(surface.size, 8);
    EXPECT_EQ(surface.style, (FontStyle{.italic = true, .underline = true}));

    const auto first = surface.texts;
    surface.texts.clear();
    PrintPoem(surface, Poem({"a", "b"}));
    ASSERT_EQ(surface.texts.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(surface.texts[i].style, first[i].style) << i;
        EXPECT_EQ(surface.texts[i].size, first[i].size) << i;
    }
}

TEST(PrintLayout, LinesStepByFontHeightAndBreakWhenTheyReachThePageEnd) {
    // Lines at 150, 227, 304 and 381; after the fourth y is 458, the page's
    // height, so the fifth line opens the next page at its very top.
    RecordingSurface surface;
    surface.height = 458;
    PrintPoem(surface, Poem(Numbered(7), "", ""));

    ASSERT_EQ(surface.texts.size(), 8u);
    const int expected[][2] = {{0, 150}, {0, 227}, {0, 304}, {0, 381}, {1, 0}, {1, 77}, {1, 154}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(surface.texts[1 + i].page, expected[i][0]) << i;
        EXPECT_EQ(surface.texts[1 + i].y, expected[i][1]) << i;
    }
    EXPECT_EQ(surface.page, 1);
}

TEST(PrintLayout, LineThatWouldBeCutAtThePageEndStartsTheNextPage) {
    // The fourth line at 381 would reach 448; a page one pixel shorter cannot
    // hold all of it.
    RecordingSurface surface;
    surface.height = 447;
    PrintPoem(surface, Poem(Numbered(5), "", ""));
    ASSERT_EQ(surface.texts.size(), 6u);
    EXPECT_EQ(surface.texts[3].page, 0);
    EXPECT_EQ(surface.texts[3].y, 304);
    EXPECT_EQ(surface.texts[4].page, 1);
    EXPECT_EQ(surface.texts[4].y, 0);
    EXPECT_EQ(surface.texts[5].y, 77);
}

TEST(PrintLayout, LongPoemOnAPrinterPage) {
    // A page twice the height of A4 at 300 dots per inch.
    RecordingSurface surface;
    surface.height = 6600;
    PrintPoem(surface, Poem(Numbered(300)));

    std::vector<int> perPage(surface.page + 1);
    for (std::size_t i = 1; i < surface.texts.size(); ++i) {
        const auto& text = surface.texts[i];
        EXPECT_LE(text.y + 67, surface.height) << text.text;
        if (i > 1 && text.text.starts_with("line")) {
            const auto& previous = surface.texts[i - 1];
            EXPECT_EQ(text.y, text.page == previous.page ? previous.y + kStep : 0) << text.text;
        }
        ++perPage[text.page];
    }
    // 150 + 82 x 77 is the last line that fits the first page; 0 + 84 x 77
    // the last of every other one.
    EXPECT_EQ(perPage[0], 83);
    EXPECT_EQ(perPage[1], 85);
    EXPECT_EQ(perPage[2], 85);
    EXPECT_EQ(perPage[3], 300 - 83 - 85 - 85 + 2); // and the footer
    EXPECT_EQ(surface.texts.back().page, 3);
}

TEST(PrintLayout, LastLineEndingAPageLeavesTheNextPageToTheFooterOrEmpty) {
    RecordingSurface withoutFooter;
    withoutFooter.height = 458;
    PrintPoem(withoutFooter, Poem(Numbered(4), "", ""));
    EXPECT_EQ(withoutFooter.texts.size(), 5u);
    EXPECT_EQ(withoutFooter.texts.back().page, 0);
    EXPECT_EQ(withoutFooter.page, 1); // an empty last page
    EXPECT_EQ(withoutFooter.ended, 1);

    RecordingSurface withFooter;
    withFooter.height = 458;
    PrintPoem(withFooter, Poem(Numbered(4)));
    ASSERT_EQ(withFooter.texts.size(), 7u);
    EXPECT_EQ(withFooter.texts[5].page, 1);
    EXPECT_EQ(withFooter.texts[5].y, 150);
    EXPECT_EQ(withFooter.texts[6].y, 200);
    EXPECT_EQ(withFooter.page, 1);
}

TEST(PrintLayout, EmptyPoetOrDateLeavesItsLineOutAndTheOtherInPlace) {
    RecordingSurface noPoet;
    PrintPoem(noPoet, Poem({"a"}, "", "1906"));
    ASSERT_EQ(noPoet.texts.size(), 3u);
    EXPECT_EQ(noPoet.texts[2].text, "Date of writing: 1906");
    EXPECT_EQ(noPoet.texts[2].y, 150 + kStep + 200);

    RecordingSurface noDate;
    PrintPoem(noDate, Poem({"a"}, "Ady", ""));
    ASSERT_EQ(noDate.texts.size(), 3u);
    EXPECT_EQ(noDate.texts[2].text, "Poet: Ady");
    EXPECT_EQ(noDate.texts[2].y, 150 + kStep + 150);

    RecordingSurface neither;
    PrintPoem(neither, Poem({"a"}, "", ""));
    EXPECT_EQ(neither.texts.size(), 2u);
    EXPECT_EQ(neither.page, 0);
}

TEST(PrintLayout, TextWiderThanThePageIsCentredAllTheSame) {
    RecordingSurface surface;
    surface.width = 101; // half of it is 50
    PrintedPoem poem = Poem({std::string(30, 'w'), std::string(31, 'w')});
    poem.title = std::string(20, 'T');
    PrintPoem(surface, poem);
    EXPECT_EQ(surface.texts[0].x, 50 - 220 / 2);
    EXPECT_EQ(surface.texts[1].x, 50 - 300 / 2);
    EXPECT_EQ(surface.texts[2].x, 50 - 310 / 2); // 155: halves round toward zero
}

TEST(PrintLayout, LineLongerThan4096CharactersIsCutWithoutSplittingACharacter) {
    RecordingSurface surface;
    const std::string accented = "\xC3\xA9"; // é, two bytes
    std::string line;
    for (int i = 0; i < 4100; ++i)
        line += accented;
    PrintPoem(surface, Poem({line, std::string(4096, 'x'), std::string(5000, 'y')}));
    EXPECT_EQ(surface.texts[1].text.size(), 2u * 4096);
    EXPECT_EQ(surface.texts[2].text, std::string(4096, 'x'));
    EXPECT_EQ(surface.texts[3].text, std::string(4096, 'y'));
}

TEST(PrintLayout, FooterThatWouldFallOffThePageMovesToTheTopOfANewOne) {
    // After three lines y is 150 + 3 x 77 = 381. The date's bottom would be
    // 381 + 200 + 67 = 648; the poet's alone 381 + 150 + 67 = 598.
    struct Case {
        int height;
        std::string poet;
        std::string date;
        bool moves;
    };
    const Case cases[] = {
        {648, "Ady", "1906", false}, {647, "Ady", "1906", true}, {647, "", "1906", true},
        {647, "Ady", "", false},     {597, "Ady", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        SCOPED_TRACE(c.poet + "/" + c.date);
        RecordingSurface surface;
        surface.height = c.height;
        PrintPoem(surface, Poem(Numbered(3), c.poet, c.date));
        const int base = c.moves ? 0 : 381;
        EXPECT_EQ(surface.page, c.moves ? 1 : 0);
        for (std::size_t i = 4; i < surface.texts.size(); ++i) {
            const auto& text = surface.texts[i];
            EXPECT_EQ(text.page, surface.page);
            EXPECT_EQ(text.y, base + (text.text.starts_with("Poet:") ? 150 : 200));
            EXPECT_LE(text.y + 67, c.height);
        }
    }
}

TEST(PrintLayout, PageTooShortForAnythingStillEnds) {
    // Every text goes to the top of a page of its own, and no further: what
    // does not fit an empty page would fit no other.
    RecordingSurface surface;
    surface.height = 60;
    PrintPoem(surface, Poem(Numbered(2)));
    ASSERT_EQ(surface.texts.size(), 5u);
    EXPECT_EQ(surface.texts[1].page, 1);
    EXPECT_EQ(surface.texts[1].y, 0);
    EXPECT_EQ(surface.texts[2].page, 2);
    EXPECT_EQ(surface.texts[2].y, 0);
    EXPECT_EQ(surface.texts[3].page, 3);
    EXPECT_EQ(surface.texts[3].y, 150);
    EXPECT_EQ(surface.page, 3);
}

} // namespace
} // namespace stanzel
