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

// The texts of one laid-out page, as they read.
std::vector<std::string> Texts(const LaidOutPage& page) {
    std::vector<std::string> texts;
    for (const auto& text : page)
        texts.push_back(text.text);
    return texts;
}

// On a page of several, the running title takes one row (67) and a gap of 50
// above the poem, and the page number at the foot the same below it.
constexpr int kContinuedTop = 67 + 50;
constexpr int kFootRoom = 67 + 50;

TEST(PrintLayout, APoemThatFillsItsOnlyPageHasNoNumberAndNoEmptyPageAfterIt) {
    // Lines at 150, 227, 304 and 381, the last one ending at the page's end.
    RecordingSurface surface;
    surface.height = 448;
    PrintPoem(surface, Poem(Numbered(4), "", ""));
    EXPECT_EQ(surface.page, 0);
    ASSERT_EQ(surface.texts.size(), 5u);
    EXPECT_EQ(surface.texts.back().y, 381);

    // A fifth line makes more pages, and so page numbers (with their room,
    // three of them).
    const auto pages = LayOutPoem(surface, Poem(Numbered(5), "", ""));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].back().text, "1 / 3");
    EXPECT_EQ(pages[2].back().text, "3 / 3");
}

TEST(PrintLayout, PagesAfterTheFirstGoOnBelowTheRunningTitleAndAboveTheNumber) {
    // With the number's room the first page holds four lines (the fourth ends
    // at 448); the rest go on below the running title.
    RecordingSurface surface;
    surface.height = 448 + kFootRoom;
    PrintPoem(surface, Poem(Numbered(7), "", ""));
    EXPECT_EQ(surface.page, 1);

    surface.texts.clear();
    const auto pages = LayOutPoem(surface, Poem(Numbered(7), "", ""));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(Texts(pages[0]), (std::vector<std::string>{"Rain", "line 0", "line 1", "line 2",
                                                         "line 3", "1 / 2"}));
    EXPECT_EQ(Texts(pages[1]),
              (std::vector<std::string>{"Rain", "line 4", "line 5", "line 6", "2 / 2"}));
    const int lineYs[] = {150, 227, 304, 381};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pages[0][1 + i].y, lineYs[i]) << i;
    EXPECT_EQ(pages[1][1].y, kContinuedTop);
    EXPECT_EQ(pages[1][2].y, kContinuedTop + kStep);
    EXPECT_EQ(pages[1][3].y, kContinuedTop + 2 * kStep);

    // The running title: body size, italic, centred; the number plain at the
    // very foot, centred.
    const PlacedText& head = pages[1][0];
    EXPECT_EQ(head.y, 0);
    EXPECT_EQ(head.x, 2400 - 40 / 2);
    EXPECT_EQ(head.size, 8);
    EXPECT_EQ(head.style, FontStyle{.italic = true});
    for (const auto& page : pages) {
        const PlacedText& number = page.back();
        EXPECT_EQ(number.y, surface.height - 67);
        EXPECT_EQ(number.x, 2400 - 50 / 2);
        EXPECT_EQ(number.style, FontStyle{});
    }
    // The first page's title stays as it always was.
    EXPECT_EQ(pages[0][0].style, FontStyle{.bold = true});
    EXPECT_EQ(pages[0][0].y, 50);

    // One dot less and the fourth line would be cut: it starts the next page.
    surface.height -= 1;
    const auto shorter = LayOutPoem(surface, Poem(Numbered(7), "", ""));
    ASSERT_EQ(shorter.size(), 2u);
    EXPECT_EQ(shorter[0].end()[-2].text, "line 2");
    EXPECT_EQ(shorter[1][1].text, "line 3");
    EXPECT_EQ(shorter[1][1].y, kContinuedTop);
    EXPECT_EQ(shorter[1].end()[-2].text, "line 6");
}

TEST(PrintLayout, LongPoemOnAPrinterPage) {
    // A page twice the height of A4 at 300 dots per inch.
    RecordingSurface surface;
    surface.height = 6600;
    const auto pages = LayOutPoem(surface, Poem(Numbered(300)));
    ASSERT_EQ(pages.size(), 4u);

    int next = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(p);
        const int top = p == 0 ? 150 : kContinuedTop;
        int expectedY = top;
        for (const auto& text : pages[p]) {
            if (!text.text.starts_with("line "))
                continue;
            EXPECT_EQ(text.text, "line " + std::to_string(next++));
            EXPECT_EQ(text.y, expectedY);
            EXPECT_LE(text.y + 67, surface.height - kFootRoom);
            expectedY += kStep;
        }
        EXPECT_EQ(pages[p].back().text, std::to_string(p + 1) + " / 4");
    }
    EXPECT_EQ(next, 300);
    // 150 + 81 x 77 is the last line that fits the first page; 117 + 81 x 77
    // the last of every other one.
    EXPECT_EQ(pages[0].size(), 1u + 82 + 1);
    EXPECT_EQ(pages[1].size(), 1u + 82 + 1);
    EXPECT_EQ(pages[3].end()[-2].text, "Date of writing: 1906");
}

TEST(PrintLayout, FooterThatWouldFallOffThePageMovesToTheTopOfANewOne) {
    // After three lines y is 150 + 3 x 77 = 381. The date's bottom would be
    // 381 + 200 + 67 = 648; the poet's alone 381 + 150 + 67 = 598. A footer
    // that moves makes two pages, and the second goes on below its title.
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
        const auto pages = LayOutPoem(surface, Poem(Numbered(3), c.poet, c.date));
        ASSERT_EQ(pages.size(), c.moves ? 2u : 1u);
        EXPECT_EQ(pages[0][3].text, "line 2");
        const int base = c.moves ? kContinuedTop : 381;
        int footers = 0;
        for (const auto& text : pages.back()) {
            if (!text.text.starts_with("Poet:") && !text.text.starts_with("Date"))
                continue;
            ++footers;
            EXPECT_EQ(text.y, base + (text.text.starts_with("Poet:") ? 150 : 200));
            EXPECT_LE(text.y + 67, c.height - (c.moves ? kFootRoom : 0));
        }
        EXPECT_EQ(footers, (c.poet.empty() ? 0 : 1) + (c.date.empty() ? 0 : 1));
    }
}

TEST(PrintLayout, PageTooShortForAnythingStillEnds) {
    // Every row goes to the top of a page of its own, and no further: what
    // does not fit an empty page would fit no other.
    RecordingSurface surface;
    surface.height = 60;
    PrintPoem(surface, Poem(Numbered(2)));
    EXPECT_EQ(surface.page, 3);
    EXPECT_EQ(surface.ended, 1);
    const auto pages = LayOutPoem(surface, Poem(Numbered(2)));
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(Texts(pages[1]), (std::vector<std::string>{"Rain", "line 0", "2 / 4"}));
    EXPECT_EQ(Texts(pages[2]), (std::vector<std::string>{"Rain", "line 1", "3 / 4"}));
    EXPECT_EQ(Texts(pages[3]), (std::vector<std::string>{"Rain", "Poet: Ady",
                                                         "Date of writing: 1906", "4 / 4"}));
}

// Rows as WrapLine makes them, on a surface where a character is 10 dots (a
// byte is: é is 20).
struct WrapCase {
    const char* name;
    std::string line;
    int first;
    int rest;
    std::vector<std::string> rows;
};

class WrapLineTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapLineTest, BreaksWhereItShould) {
    const RecordingSurface surface;
    EXPECT_EQ(WrapLine(surface, GetParam().line, GetParam().first, GetParam().rest),
              GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WrapLineTest,
    ::testing::Values(
        WrapCase{"FitsWholeSpacesAndAll", "  one two  ", 110, 50, {"  one two  "}},
        WrapCase{"Empty", "", 100, 100, {""}},
        WrapCase{"BreaksAtSpacesAndDropsThem", "one two   three four", 90, 90,
                 {"one two", "three", "four"}},
        WrapCase{"LaterRowsAreNarrower", "aa bb cc dd ee", 80, 50, {"aa bb cc", "dd ee"}},
        WrapCase{"ExactFit", "aaaa bbbb", 40, 40, {"aaaa", "bbbb"}},
        WrapCase{"TabIsASpace", "aaaa\tbbbb", 60, 60, {"aaaa", "bbbb"}},
        WrapCase{"LeadingSpacesStayOnTheFirstRow", "   aa bb", 60, 60, {"   aa", "bb"}},
        WrapCase{"LongWordBreaksBetweenCharacters", "abcdefghij", 40, 30,
                 {"abcd", "efg", "hij"}},
        WrapCase{"BrokenWordThenWords", "abcdefgh ij kl", 50, 50, {"abcde", "fgh", "ij kl"}},
        WrapCase{"NeverInsideACharacter", "\xC3\xA9\xC3\xA9\xC3\xA9", 50, 50,
                 {"\xC3\xA9\xC3\xA9", "\xC3\xA9"}},
        WrapCase{"NarrowerThanACharacterStillOneEach", "abc", 5, 5, {"a", "b", "c"}},
        WrapCase{"TrailingSpacesOfAWrappedLineGo", "aaaa bbbb   ", 50, 50, {"aaaa", "bbbb"}},
        WrapCase{"TrailingSpacesGoEvenWhereTheyWouldFit", "aaaa bbbb   ", 60, 100,
                 {"aaaa", "bbbb"}},
        WrapCase{"SpacesAtTheBreakBelongToNoRow", "      ", 30, 30, {"   "}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every word of every line reaches the page: a line three times the page's
// width, at several widths, a word wider than the page among them.
TEST(PrintLayout, WrappedLineKeepsEveryWordInsideTheMarginsAndHangs) {
    for (const int width : {1000, 2480, 4800}) {
        SCOPED_TRACE(width);
        RecordingSurface surface;
        surface.width = width;
        std::string line;
        std::vector<std::string> words;
        for (int i = 0; static_cast<int>(line.size()) * 10 < 3 * width; ++i) {
            words.push_back("w" + std::to_string(i));
            line += (line.empty() ? "" : " ") + words.back();
        }
        words.push_back(std::string(width / 10, 'x')); // wider than the page
        line += " " + words.back() + " end";
        words.push_back("end");

        const auto pages = LayOutPoem(surface, Poem({"short", line, "after"}, "", ""));
        ASSERT_EQ(pages.size(), 1u);
        const LaidOutPage& page = pages[0];
        ASSERT_EQ(page[1].text, "short");
        ASSERT_EQ(page.back().text, "after");
        const std::vector<PlacedText> rows(page.begin() + 2, page.end() - 1);
        ASSERT_GE(rows.size(), 4u);

        std::string joined;
        const int indent = 2 * 67;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].text);
            joined += (i == 0 ? "" : " ") + rows[i].text;
            EXPECT_GE(rows[i].x, 200);
            EXPECT_LE(rows[i].x + surface.textWidth(rows[i].text), width - 200);
            if (i > 0) {
                EXPECT_EQ(rows[i].x, rows[0].x + indent);
                EXPECT_EQ(rows[i].y, rows[i - 1].y + kStep);
            }
        }
        // The long word broke between two rows; nothing else did.
        std::string expected = line;
        const std::string& longWord = words[words.size() - 2];
        std::string rejoined;
        for (const auto& row : rows)
            rejoined += row.text;
        EXPECT_NE(rejoined.find(longWord), std::string::npos);
        std::size_t wordsSeen = 0;
        for (const auto& word : words)
            if (word != longWord)
                wordsSeen += joined.find(" " + word + " ") != std::string::npos ||
                             joined.starts_with(word + " ") || joined.ends_with(" " + word);
        EXPECT_EQ(wordsSeen, words.size() - 1);
        EXPECT_EQ(page.back().y, rows.back().y + kStep);
    }
}

TEST(PrintLayout, LinesOfThousandsOfCharactersWrapWhole) {
    RecordingSurface surface;
    std::string accented;
    for (int i = 0; i < 4100; ++i)
        accented += "\xC3\xA9"; // é, two bytes
    const std::string plain(5000, 'y');
    const auto pages = LayOutPoem(surface, Poem({accented, plain}, "", ""));
    std::string first;
    std::string second;
    for (const auto& page : pages)
        for (const auto& text : page) {
            if (text.text.starts_with("\xC3\xA9"))
                first += text.text;
            else if (text.text.starts_with("y"))
                second += text.text;
        }
    EXPECT_EQ(first, accented);
    EXPECT_EQ(second, plain);
}

TEST(PrintLayout, WrappedTitleAndFooterPushWhatFollowsDown) {
    RecordingSurface surface;
    surface.width = 1000; // 600 between the margins
    std::string poet = "pppp";
    for (int i = 0; i < 11; ++i)
        poet += " pppp";
    PrintedPoem poem = Poem({"a"}, poet, "1906");
    poem.title = "A title that is far too long to stand on one row of this page";
    const auto pages = LayOutPoem(surface, poem);
    ASSERT_EQ(pages.size(), 1u);
    const LaidOutPage& page = pages[0];
    // Bold, 11 dots a character, each row centred; a row of the 10-point
    // title is 83 high.
    ASSERT_EQ(page.size(), 6u);
    EXPECT_EQ(page[0].text, "A title that is far too long to stand on one row of");
    EXPECT_EQ(page[1].text, "this page");
    EXPECT_EQ(page[1].y, 50 + 83 + 10);
    EXPECT_EQ(page[1].x, 500 - 99 / 2);
    const int lineY = 150 + 83 + 10;
    EXPECT_EQ(page[2].text, "a");
    EXPECT_EQ(page[2].y, lineY);

    // "Poet: pppp ..." takes two rows, and the date goes a row lower.
    const int footerBase = lineY + kStep;
    EXPECT_EQ(page[3].text, "Poet: " + poet.substr(0, 54));
    EXPECT_EQ(page[3].y, footerBase + 150);
    EXPECT_EQ(page[3].x, 200);
    EXPECT_EQ(page[4].text, "pppp");
    EXPECT_EQ(page[4].y, footerBase + 150 + kStep);
    EXPECT_EQ(page[4].x, 200 + 2 * 67);
    EXPECT_EQ(page[5].text, "Date of writing: 1906");
    EXPECT_EQ(page[5].y, footerBase + 200 + kStep);
}

} // namespace
} // namespace stanzel
