#include "printing/qt_print_surface.h"
#include "test_dir.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace stanzel {
namespace {

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

// A 600-dots-per-inch PDF printer on A4, like a common office printer.
std::unique_ptr<QPrinter> PdfPrinter(const std::filesystem::path& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file.string()));
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setResolution(600);
    return printer;
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

TEST_F(QtPrintTest, SurfaceMeasuresInPrinterPixels) {
    TestDir dir;
    auto printer = PdfPrinter(dir / "m.pdf");
    QtPrintSurface surface(*printer);

    EXPECT_EQ(surface.fontSize(), 8);
    EXPECT_EQ(surface.fontHeight(), 67); // 8 x 600 / 72, rounded
    surface.setFontSize(10);
    EXPECT_EQ(surface.fontHeight(), 83);
    surface.setFontSize(8);

    // A4 is 4961 x 7016 pixels at 600 dpi; the printable area is a little less.
    EXPECT_GT(surface.pageWidth(), 4000);
    EXPECT_LE(surface.pageWidth(), 4961);
    EXPECT_GT(surface.pageHeight(), 6000);
    EXPECT_LE(surface.pageHeight(), 7016);

    const int plain = surface.textWidth("Autumn rain on the roof");
    EXPECT_GT(plain, 23 * 20);
    surface.setFontStyle({.bold = true});
    EXPECT_EQ(surface.fontStyle(), FontStyle{.bold = true});
    EXPECT_GT(surface.textWidth("Autumn rain on the roof"), plain);
    surface.setFontStyle({.italic = true, .underline = true});
    EXPECT_EQ(surface.fontStyle(), (FontStyle{.italic = true, .underline = true}));
}

TEST_F(QtPrintTest, PdfReadsBackInPageOrder) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
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
    ASSERT_EQ(surface.pages.size(), 3u) << "200 lines of 77 pixels take three pages";

    QProcess process;
    process.start(pdftotext, {"-layout", QString::fromStdString(file.string()), "-"});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QStringList printedPages =
        QString::fromUtf8(process.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
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
        for (std::size_t i = 0; i < drawn.size(); ++i)
            EXPECT_EQ(printedLines[i].toStdString(), drawn[i]);
    }
    EXPECT_EQ(surface.pages[0].front(), "Autumn Rain");
    EXPECT_EQ(surface.pages[0][1], "Line 001 falls softly on the roof");
    EXPECT_EQ(surface.pages[2].back(), "Date of writing: 1906");
    EXPECT_EQ(surface.pages[2].end()[-2], "Poet: Endre Ady");
    EXPECT_EQ(surface.pages[2].end()[-3], "Line 200 falls softly on the roof");

    // Centred like the lines, the shorter title starts further right.
    const QString title = printedPages[0].split('\n').filter("Autumn Rain").front();
    const QString line = printedPages[0].split('\n').filter("Line 001").front();
    EXPECT_GT(title.indexOf("Autumn"), line.indexOf("Line"));
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
