#include "printing/qt_pdf_export.h"
#include "printing/qt_print_surface.h"
#include "storage/storage_error.h"
#include "pdf_text.h"
#include "test_dir.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPageLayout>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace stanzel {
namespace {

using testing::HavePdfTools;
using testing::PdfRows;
using testing::PdfWords;
using testing::TestDir;

void EnsureApplication() {
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "stanzel_print_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

class QtPrintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

// A PDF printer on A4 at `dotsPerInch`, 600 like a common office printer.
std::unique_ptr<QPrinter> PdfPrinter(const std::filesystem::path& file, int dotsPerInch = 600) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file.string()));
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setResolution(dotsPerInch);
    return printer;
}

// What pdftotext reads back from a PDF laid out as on the page.
QString ReadBack(const std::filesystem::path& pdf) {
    return testing::PdfText(pdf, {"-layout"});
}

// The real surface, remembering on which page each text went.
class PageRecordingSurface : public QtPrintSurface {
public:
    using QtPrintSurface::QtPrintSurface;
    void drawText(int x, int y, std::string_view text) override {
        QtPrintSurface::drawText(x, y, text);
        pages.back().emplace_back(text);
    }
    void newPage() override {
        QtPrintSurface::newPage();
        pages.emplace_back();
    }
    std::vector<std::vector<std::string>> pages{1};
};

// The layout sees a 300-dpi page on every printer: the same sizes in dots,
// whatever the printer's resolution.
TEST_F(QtPrintTest, SurfaceMeasuresInDotsOfA300DpiPage) {
    TestDir dir;
    std::optional<int> widthAt300;
    for (const int dotsPerInch : {300, 600, 1200}) {
        SCOPED_TRACE(dotsPerInch);
        auto printer = PdfPrinter(dir / "m.pdf", dotsPerInch);
        QtPrintSurface surface(*printer);

        EXPECT_EQ(surface.fontSize(), 8);
        EXPECT_EQ(surface.fontHeight(), 33); // 8 x 300 / 72, rounded
        surface.setFontSize(10);
        EXPECT_EQ(surface.fontHeight(), 42);
        surface.setFontSize(8);

        // A4 is 2480 x 3508 dots at 300 dpi; the printable area is a little less.
        EXPECT_GT(surface.pageWidth(), 2000);
        EXPECT_LE(surface.pageWidth(), 2480);
        EXPECT_GT(surface.pageHeight(), 3000);
        EXPECT_LE(surface.pageHeight(), 3508);

        const int plain = surface.textWidth("Autumn rain on the roof");
        EXPECT_GT(plain, 23 * 10);
        if (!widthAt300)
            widthAt300 = plain;
        EXPECT_NEAR(plain, *widthAt300, *widthAt300 / 20); // hinting differs a little
        surface.setFontStyle({.bold = true});
        EXPECT_EQ(surface.fontStyle(), FontStyle{.bold = true});
        EXPECT_GT(surface.textWidth("Autumn rain on the roof"), plain);
        surface.setFontStyle({.italic = true, .underline = true});
        EXPECT_EQ(surface.fontStyle(), (FontStyle{.italic = true, .underline = true}));
    }
}

TEST_F(QtPrintTest, PdfReadsBackInPageOrder) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";

    PrintedPoem poem;
    poem.title = "Autumn Rain";
    for (int i = 1; i <= 200; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Line %03d falls softly on the roof", i);
        poem.lines.emplace_back(line);
    }
    poem.lines[99] = "Line 100 \xC5\x91szi es\xC5\x91"; // őszi eső
    poem.poetLabel = "Poet:";
    poem.poet = "Endre Ady";
    poem.dateLabel = "Date of writing:";
    poem.date = "1906";

    TestDir dir;
    const auto file = dir / "poem.pdf";
    auto printer = PdfPrinter(file);
    PageRecordingSurface surface(*printer);
    PrintPoem(surface, poem);
    ASSERT_EQ(surface.pages.size(), 3u) << "200 lines of 43 dots take three pages";

    const QStringList printedPages = ReadBack(file).split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(printedPages.size(), 3);

    // Every text the layout put on a page is on that page of the PDF, one
    // line each, top to bottom in the order it was drawn.
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        QStringList printedLines;
        for (const QString& line : printedPages[page].split('\n'))
            if (!line.trimmed().isEmpty())
                printedLines << line.trimmed();
        const auto& drawn = surface.pages[page];
        ASSERT_EQ(printedLines.size(), static_cast<qsizetype>(drawn.size()));
        // pdftotext hears no word gap around the page number's slash.
        for (std::size_t i = 0; i + 1 < drawn.size(); ++i)
            EXPECT_EQ(printedLines[i].toStdString(), drawn[i]);
        EXPECT_EQ(printedLines.back(), QString::fromStdString(drawn.back()).remove(' '));
    }
    EXPECT_EQ(surface.pages[0].front(), "Autumn Rain");
    EXPECT_EQ(surface.pages[0][1], "Line 001 falls softly on the roof");
    // Every page ends with its number; those after the first begin with the
    // title.
    for (std::size_t page = 0; page < 3; ++page) {
        EXPECT_EQ(surface.pages[page].back(), std::to_string(page + 1) + " / 3");
        EXPECT_EQ(surface.pages[page].front(), "Autumn Rain");
    }
    EXPECT_EQ(surface.pages[2].end()[-2], "Date of writing: 1906");
    EXPECT_EQ(surface.pages[2].end()[-3], "Poet: Endre Ady");
    EXPECT_EQ(surface.pages[2].end()[-4], "Line 200 falls softly on the roof");

    // Centred like the lines, the shorter title starts further right.
    const QString title = printedPages[0].split('\n').filter("Autumn Rain").front();
    const QString line = printedPages[0].split('\n').filter("Line 001").front();
    EXPECT_GT(title.indexOf("Autumn"), line.indexOf("Line"));
}

// The printer path the default printer takes, on papers of several widths, at
// 300, 600 and 1200 dpi and at the resolution Qt picks for a printer itself
// (1200 dpi for PDF): a line three times as wide as the page keeps every
// word, inside the side margins, its later rows indented from its first, and
// no row runs into the next.
class PrintResolutionTest
    : public QtPrintTest,
      public ::testing::WithParamInterface<std::tuple<QPageSize::PageSizeId, int>> {};

TEST_P(PrintResolutionTest, LongLineKeepsEveryWordInsideTheMarginsAndRowsStandApart) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    const auto [paperId, resolution] = GetParam();
    const QPageSize paper(paperId);
    const std::optional<int> dotsPerInch =
        resolution == 0 ? std::nullopt : std::optional<int>(resolution);

    QPrinter probe(QPrinter::HighResolution);
    probe.setOutputFormat(QPrinter::PdfFormat);
    probe.setPageSize(paper);
    const QRectF printable = probe.pageLayout().paintRect(QPageLayout::Point);
    constexpr double kPointsPerDot = 72.0 / 300.0;
    const double left = printable.left() + kSideMargin * kPointsPerDot;
    const double right = printable.right() - kSideMargin * kPointsPerDot;
    const double indent = kHangingIndentEms * 33 * kPointsPerDot; // 8 points are 33 dots

    // "word001" is about 30 points wide at 8 points.
    QStringList longWords;
    while (longWords.size() * 30 < 3 * printable.width())
        longWords << QString("word%1").arg(longWords.size() + 1, 3, 10, QChar('0'));
    const PrintedPoem poem{"Autumn Rain",
                           {"The rain falls", longWords.join(' ').toStdString(), "of the town"},
                           "Poet:",
                           "Endre Ady",
                           "Date of writing:",
                           "1906"};
    TestDir dir;
    const auto file = dir / "poem.pdf";
    PrintToPdf(poem, QString::fromStdString(file.string()), paper, dotsPerInch);

    const auto words = PdfWords(file);
    QStringList expected{"Autumn", "Rain", "The", "rain", "falls"};
    expected << longWords;
    expected << QStringList{"of", "the", "town", "Poet:", "Endre", "Ady", "Date", "of", "writing:",
                            "1906"};
    ASSERT_EQ(testing::Texts(words), expected); // every word once, in order
    for (const auto& word : words) {
        SCOPED_TRACE(word.text.toStdString());
        EXPECT_EQ(word.page, 0);
        EXPECT_GE(word.left, left - 0.5);
        EXPECT_LE(word.right, right + 1.0);
    }

    const auto rows = PdfRows(words);
    std::vector<const testing::PdfRow*> lineRows;
    for (const auto& row : rows)
        if (row.words.front().startsWith("word"))
            lineRows.push_back(&row);
    ASSERT_GE(lineRows.size(), 3u);
    for (std::size_t i = 1; i < lineRows.size(); ++i)
        EXPECT_NEAR(lineRows[i]->left - lineRows[0]->left, indent, 0.5) << i;
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(rows[i - 1].bottom, rows[i].top + 0.01)
            << rows[i - 1].text().toStdString() << " overlaps " << rows[i].text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    PaperAndDpi, PrintResolutionTest,
    ::testing::Combine(::testing::Values(QPageSize::A5, QPageSize::A4, QPageSize::Letter,
                                         QPageSize::A3),
                       ::testing::Values(300, 600, 1200, 0)),
    [](const auto& info) {
        const int dpi = std::get<1>(info.param);
        return QPageSize(std::get<0>(info.param)).key().toStdString() +
               (dpi == 0 ? std::string("PickedByQt") : "At" + std::to_string(dpi));
    });

TEST_F(QtPrintTest, QtPicksTheFinestResolutionForAPrinter) {
    // What the default printer gets too: the row above that Qt picks its
    // resolution is the 1200-dpi case that overprinted.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_EQ(printer.resolution(), 1200);
}

TEST_F(QtPrintTest, PrintToPdfWritesTheFileOrFailsWithPrintError) {
    TestDir dir;
    const PrintedPoem poem{"Short", {"One line"}, "Poet:", "", "Date of writing:", ""};
    const auto file = dir / "short.pdf";
    PrintToPdf(poem, QString::fromStdString(file.string()));
    EXPECT_TRUE(testing::ReadBytes(file).starts_with("%PDF"));

    const auto unwritable = dir / "missing-folder" / "poem.pdf";
    EXPECT_THROW(PrintToPdf(poem, QString::fromStdString(unwritable.string())), PrintError);
}

TEST_F(QtPrintTest, ExportedPdfNamesTitleAndPoetAndKeepsItsTextAsText) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    const PrintedPoem poem{"\xC5\x90szi es\xC5\x91", // Őszi eső
                           {"Hull a lev\xC3\xA9l", "", "a f\xC3\xA1kr\xC3\xB3l"},
                           "K\xC3\xB6lt\xC5\x91:",
                           "Ady Endre",
                           "D\xC3\xA1tum:",
                           "1906"};
    TestDir dir;
    const auto target = dir / "\xC5\x91sz.pdf";
    ExportPoemAsPdf(poem, target, QPageSize(QPageSize::Letter));

    const auto info = testing::PdfInfo(target);
    EXPECT_EQ(info["Title"], QString::fromUtf8(poem.title));
    EXPECT_EQ(info["Author"], "Ady Endre");
    EXPECT_EQ(info["Pages"], "1");
    EXPECT_TRUE(info["Page size"].startsWith("612 x 792")) << info["Page size"].toStdString();
    QStringList lines;
    for (const QString& line : testing::PdfText(target).split('\n'))
        if (!line.trimmed().isEmpty() && line.trimmed() != "\f")
            lines << line.trimmed();
    EXPECT_EQ(lines, (QStringList{QString::fromUtf8(poem.title), "Hull a lev\u00E9l",
                                  "a f\u00E1kr\u00F3l", "K\u00F6lt\u0151: Ady Endre",
                                  "D\u00E1tum: 1906"}));

    // Written again, the file is replaced whole, and nothing is left beside it.
    const PrintedPoem other{"Other", {"one line"}, "Poet:", "", "Date of writing:", ""};
    ExportPoemAsPdf(other, target, QPageSize(QPageSize::A4));
    EXPECT_EQ(testing::PdfInfo(target)["Title"], "Other");
    EXPECT_EQ(testing::PdfInfo(target)["Author"], ""); // no poet, no author
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);

    EXPECT_THROW(ExportPoemAsPdf(poem, dir / "missing" / "x.pdf", QPageSize(QPageSize::A4)),
                 StorageError);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(QtPrintTest, PaperIsTheNearestStandardOneOrA4) {
    struct Case {
        int width;
        int height;
        QPageSize::PageSizeId paper;
    };
    const Case cases[] = {
        {210, 297, QPageSize::A4},     {216, 279, QPageSize::Letter}, {216, 356, QPageSize::Legal},
        {148, 210, QPageSize::A5},     {0, 0, QPageSize::A4},         {-1, 297, QPageSize::A4},
        {99999, 297, QPageSize::A4},   {120, 170, QPageSize::Custom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const QPageSize paper = PaperOfSize(c.width, c.height);
        EXPECT_TRUE(paper.isValid());
        EXPECT_EQ(paper.id(), c.paper);
    }
    EXPECT_NEAR(PaperOfSize(120, 170).size(QPageSize::Millimeter).width(), 120, 0.5);
    EXPECT_TRUE(LocalePaperSize().isValid());
}

TEST_F(QtPrintTest, NoDefaultPrinterIsAPrintErrorWithItsOwnWords) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer, and the test must not use it";
    try {
        PrintOnDefaultPrinter({"T", {"l"}, "Poet:", "", "Date of writing:", ""});
        FAIL() << "no error";
    } catch (const PrintError& error) {
        EXPECT_STREQ(error.what(), "There is no default printer currently selected");
    }
}

// Both kinds of text box, since a plain one lays out only what it has shown.
template <typename Box> void CheckDisplayedLines() {
    Box box;
    box.setLineWrapMode(Box::WidgetWidth);
    box.resize(160, 120);
    box.show();

    const QString longLine = "the rain keeps falling on the roofs of the sleeping town tonight";
    box.setPlainText("short\n" + longLine + "\n\nlast\n");
    QApplication::processEvents();

    const auto lines = DisplayedLines(*box.document());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "short");
    std::string joined;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        EXPECT_LT(lines[i].size(), static_cast<std::size_t>(longLine.size()));
        joined += lines[i];
    }
    EXPECT_EQ(joined, longLine.toStdString());
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "last"); // the final line break adds no line

    // Shift+Enter puts a line separator inside the paragraph: a row of its own
    // ends there, and neither the rows nor the box's plain text (what Save and
    // the exports take) keep it.
    const QChar separator = QChar::LineSeparator;
    box.setPlainText(QStringLiteral("a") + separator + "b\nc" + separator);
    EXPECT_EQ(DisplayedLines(*box.document()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(box.document()->toPlainText(), "a\nb\nc\n");
    box.setPlainText(QStringLiteral("x\n") + separator);
    EXPECT_EQ(DisplayedLines(*box.document()), (std::vector<std::string>{"x", ""}));
    box.setPlainText(QStringLiteral("x") + separator + "\ny");
    EXPECT_EQ(DisplayedLines(*box.document()), (std::vector<std::string>{"x", "", "y"}));

    box.setPlainText("");
    EXPECT_TRUE(DisplayedLines(*box.document()).empty());
    box.setPlainText("\n");
    EXPECT_EQ(DisplayedLines(*box.document()), std::vector<std::string>{""});
}

TEST_F(QtPrintTest, DisplayedLinesOfARichTextBox) {
    CheckDisplayedLines<QTextEdit>();
}

TEST_F(QtPrintTest, DisplayedLinesOfAPlainTextBox) {
    CheckDisplayedLines<QPlainTextEdit>();
}

} // namespace
} // namespace stanzel
