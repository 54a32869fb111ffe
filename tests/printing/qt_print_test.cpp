#include "printing/qt_print_surface.h"
#include "test_dir.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
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

// A PDF printer on A4 at `dotsPerInch`, 600 like a common office printer.
std::unique_ptr<QPrinter> PdfPrinter(const std::filesystem::path& file, int dotsPerInch = 600) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file.string()));
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setResolution(dotsPerInch);
    return printer;
}

QString PdfToText() {
    return QStandardPaths::findExecutable("pdftotext");
}

// What pdftotext reads back from a PDF: its standard output, or a failure.
QString ReadBack(const std::filesystem::path& pdf, const QStringList& options) {
    QProcess process;
    process.start(PdfToText(), options + QStringList{QString::fromStdString(pdf.string()), "-"});
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
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
    if (PdfToText().isEmpty())
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

    const QStringList printedPages = ReadBack(file, {"-layout"}).split('\f', Qt::SkipEmptyParts);
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

// One printed row as pdftotext's word boxes give it, in points from the top.
struct PrintedRow {
    QString text;
    double top = 0;
    double bottom = 0;
};

// The rows of the PDF's first page, top to bottom: words that share their top
// edge make one row.
std::vector<PrintedRow> FirstPageRows(const QString& bboxHtml) {
    static const QRegularExpression word(
        R"re(<word xMin="[-0-9.]+" yMin="([-0-9.]+)" xMax="[-0-9.]+" yMax="([-0-9.]+)">([^<]*)</word>)re");
    const QString firstPage = bboxHtml.section("</page>", 0, 0);
    std::vector<PrintedRow> rows;
    for (auto match = word.globalMatch(firstPage); match.hasNext();) {
        const auto found = match.next();
        const double top = found.captured(1).toDouble();
        const double bottom = found.captured(2).toDouble();
        if (!rows.empty() && std::abs(rows.back().top - top) < 0.01) {
            rows.back().text += " " + found.captured(3);
            rows.back().bottom = std::max(rows.back().bottom, bottom);
        } else {
            rows.push_back({found.captured(3), top, bottom});
        }
    }
    return rows;
}

// The printer path the default printer takes, at 300 and 600 dpi and at the
// resolution Qt picks for a printer itself (1200 dpi for PDF), where fixed
// pixel distances used to put the title on the first line and the poet line on
// the date line.
class PrintResolutionTest : public QtPrintTest, public ::testing::WithParamInterface<int> {};

TEST_P(PrintResolutionTest, RowsStandApartInTheirOrder) {
    if (PdfToText().isEmpty())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    const std::optional<int> dotsPerInch =
        GetParam() == 0 ? std::nullopt : std::optional<int>(GetParam());
    const PrintedPoem poem{"Autumn Rain",
                           {"The rain falls", "on the roofs", "of the town"},
                           "Poet:",
                           "Endre Ady",
                           "Date of writing:",
                           "1906"};
    TestDir dir;
    const auto file = dir / "poem.pdf";
    PrintToPdf(poem, QString::fromStdString(file.string()), dotsPerInch);

    const auto rows = FirstPageRows(ReadBack(file, {"-bbox"}));
    std::vector<std::string> texts;
    for (const auto& row : rows)
        texts.push_back(row.text.toStdString());
    ASSERT_EQ(texts, (std::vector<std::string>{"Autumn Rain", "The rain falls", "on the roofs",
                                               "of the town", "Poet: Endre Ady",
                                               "Date of writing: 1906"}));
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(rows[i - 1].bottom, rows[i].top)
            << texts[i - 1] << " overlaps " << texts[i];
}

INSTANTIATE_TEST_SUITE_P(Dpi, PrintResolutionTest, ::testing::Values(300, 600, 1200, 0),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("PickedByQt")
                                                    : "At" + std::to_string(info.param);
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
