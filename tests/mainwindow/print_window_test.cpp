#include "mainwindow/window_fixture.h"
#include "pdf_text.h"
#include "printing/qt_print_surface.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace stanzel {
namespace {

using testing::HavePdfTools;
using testing::MainWindowTest;
using testing::PdfWords;
using testing::Texts;
using testing::WriteBytes;

// The words of a poem with one line far wider than any page: its words are
// numbered, so a lost or doubled one shows.
QStringList LongLineWords() {
    QStringList words;
    for (int i = 1; i <= 90; ++i)
        words << QString("rain%1").arg(i, 2, 10, QChar('0'));
    return words;
}

class PrintWindowTest : public MainWindowTest {
protected:
    void typeLongPoem() {
        type("Autumn Rain", "The rain falls\n" + LongLineWords().join(' ') + "\non the town\n",
             "Endre Ady", "1906");
    }
    // Every word the page should hold, in order.
    static QStringList LongPoemWords() {
        QStringList words{"Autumn", "Rain", "The", "rain", "falls"};
        words << LongLineWords();
        words << QStringList{"on",  "the",  "town", "Poet:",    "Endre",
                             "Ady", "Date", "of",   "writing:", "1906"};
        return words;
    }
    // What Print sends to the default printer, printed the way the default
    // printer prints it (at the resolution Qt picks) into a PDF.
    std::filesystem::path printToPdf(std::string_view name) {
        dialogs.answers.push_back(true);
        actions().print->trigger();
        EXPECT_EQ(dialogs.printed.size(), 1u);
        const auto file = dir / name;
        if (!dialogs.printed.empty())
            PrintToPdf(dialogs.printed.back(), QString::fromStdString(file.string()));
        dialogs.printed.clear();
        return file;
    }
    std::filesystem::path exportPdf(std::string_view name) {
        dialogs.savePaths.push_back(QString::fromStdString((dir / name).string()));
        actions().exportPdf->trigger();
        return dir / (std::string(name) + ".pdf");
    }
};

enum class WindowSize { Starting, Maximised, WiderThanThePage };

class PrintAtWindowSizeTest : public PrintWindowTest,
                              public ::testing::WithParamInterface<WindowSize> {};

// The page follows the poem's lines, not the box's rows: whatever the box's
// width, Print and Export as PDF put every word on the paper, once, in order.
TEST_P(PrintAtWindowSizeTest, PrintAndExportGiveTheSameWords) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    start();
    if (GetParam() == WindowSize::Maximised)
        window->showMaximized();
    if (GetParam() == WindowSize::WiderThanThePage)
        window->resize(4000, 900);
    QApplication::processEvents();
    typeLongPoem();
    QApplication::processEvents();
    // The box's rows differ with its width; the paper does not.
    const auto rows = DisplayedLines(*poemEdit()->document());
    if (GetParam() == WindowSize::WiderThanThePage)
        EXPECT_LE(rows.size(), 4u);
    else
        EXPECT_GT(rows.size(), 6u);

    const auto printed = printToPdf("printed.pdf");
    const auto exported = exportPdf("exported");
    EXPECT_TRUE(dialogs.errors().empty());
    for (const auto& pdf : {printed, exported}) {
        SCOPED_TRACE(pdf.filename().string());
        const auto words = PdfWords(pdf);
        EXPECT_EQ(Texts(words), LongPoemWords());
        // The long line is one line on paper: its later rows hang from its
        // first, 2 em (66 dots of a 300-dpi page) in.
        std::vector<testing::PdfRow> lineRows;
        for (const auto& row : testing::PdfRows(words))
            if (row.words.front().startsWith("rain"))
                lineRows.push_back(row);
        ASSERT_GE(lineRows.size(), 3u);
        for (std::size_t i = 1; i < lineRows.size(); ++i)
            EXPECT_NEAR(lineRows[i].left - lineRows[0].left, 66 * 72.0 / 300, 0.5) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Window, PrintAtWindowSizeTest,
                         ::testing::Values(WindowSize::Starting, WindowSize::Maximised,
                                           WindowSize::WiderThanThePage),
                         [](const auto& info) {
                             switch (info.param) {
                             case WindowSize::Starting:
                                 return std::string("StartingSize");
                             case WindowSize::Maximised:
                                 return std::string("Maximised");
                             case WindowSize::WiderThanThePage:
                                 return std::string("WiderThanThePage");
                             }
                             return std::string();
                         });

TEST_F(PrintWindowTest, PreviewShowsThePagesAsTheyPrintAndPrintsFromThere) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    start();
    QString text;
    for (int i = 1; i <= 150; ++i)
        text += QString("Line %1 of the long rain\n").arg(i, 3, 10, QChar('0'));
    type("Autumn Rain", text, "Endre Ady", "1906");
    const auto printed = printToPdf("printed.pdf");
    const int printedPages = testing::PdfInfo(printed)["Pages"].toInt();
    ASSERT_GE(printedPages, 2);

    const auto fromPreview = dir / "from-preview.pdf";
    QPointer<QPrintPreviewDialog> shown;
    int previewPages = 0;
    dialogs.previewScripts.push_back([&](QPrintPreviewDialog& preview) {
        shown = &preview;
        EXPECT_TRUE(preview.isVisible());
        auto* pages = preview.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(pages, nullptr);
        previewPages = pages->pageCount();
        // What its print button does once Qt's print dialog has its answer.
        preview.printer()->setOutputFormat(QPrinter::PdfFormat);
        preview.printer()->setOutputFileName(QString::fromStdString(fromPreview.string()));
        pages->print();
    });
    actions().printPreview->trigger();

    EXPECT_EQ(dialogs.previewsShown, 1);
    EXPECT_TRUE(shown.isNull()); // closed and gone with the command
    EXPECT_EQ(previewPages, printedPages);
    EXPECT_TRUE(dialogs.errors().empty());
    EXPECT_EQ(Texts(PdfWords(fromPreview)), Texts(PdfWords(printed)));
    EXPECT_EQ(testing::PdfInfo(fromPreview)["Title"], "Autumn Rain");

    // Nothing to preview without a title or a text, as nothing to print.
    type("", "text");
    actions().printPreview->trigger();
    type("Title", "");
    actions().printPreview->trigger();
    EXPECT_EQ(dialogs.previewsShown, 1);
}

TEST_F(PrintWindowTest, ExportAsPdfWritesThePoemWithItsMetadataAndRemembersTheFolder) {
    if (!HavePdfTools())
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) is not installed";
    start();
    std::filesystem::create_directories(dir / "out");
    type("\u0150szi es\u0151", "Hull a lev\u00E9l\n\na f\u00E1kr\u00F3l\n", "Ady Endre", "1906");

    // Cancelled: nothing written, nothing remembered.
    actions().exportPdf->trigger();
    ASSERT_EQ(dialogs.saveFolders.size(), 1u);
    EXPECT_EQ(dialogs.saveFolders[0], "");
    EXPECT_EQ(dialogs.saveNames[0], "\u0150szi es\u0151.pdf");
    EXPECT_EQ(dialogs.saveFilters, QStringList{"PDF documents (*.pdf)"});
    EXPECT_EQ(file("settings.ini").find("pdffolder"), std::string::npos);

    const auto pdf = exportPdf("out/autumn");
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const auto info = testing::PdfInfo(pdf);
    EXPECT_EQ(info["Title"], "\u0150szi es\u0151");
    EXPECT_EQ(info["Author"], "Ady Endre");
    QStringList lines;
    for (const QString& line : testing::PdfText(pdf).split('\n'))
        if (!line.trimmed().isEmpty() && line.trimmed() != "\f")
            lines << line.trimmed();
    EXPECT_EQ(lines, (QStringList{"\u0150szi es\u0151", "Hull a lev\u00E9l", "a f\u00E1kr\u00F3l",
                                  "Poet: Ady Endre", "Date of writing: 1906"}));

    // The next dialog opens where the last PDF went, the settings file says.
    EXPECT_NE(file("settings.ini").find("pdffolder=" + (dir / "out").string()), std::string::npos);
    actions().exportPdf->trigger();
    EXPECT_EQ(dialogs.saveFolders.back(), QString::fromStdString((dir / "out").string()));

    // A name that ends in .pdf is kept; an existing file is asked about.
    const std::string before = testing::ReadBytes(pdf);
    poemEdit()->setPlainText("Another text");
    dialogs.savePaths.push_back(QString::fromStdString(pdf.string()));
    dialogs.answers.push_back(false);
    actions().exportPdf->trigger();
    EXPECT_EQ(dialogs.shown.back().text,
              QString::fromStdString("File \"" + pdf.string() +
                                     "\" is already exists. Do you want to overwrite?"));
    EXPECT_EQ(testing::ReadBytes(pdf), before);
    dialogs.savePaths.push_back(QString::fromStdString((dir / "out" / "AUTUMN.PDF").string()));
    actions().exportPdf->trigger();
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "AUTUMN.PDF"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "AUTUMN.PDF.pdf"));
    EXPECT_TRUE(dialogs.errors().empty());

    // Nothing to export without a title.
    const auto dialogsShown = dialogs.saveFolders.size();
    type("", "text");
    actions().exportPdf->trigger();
    EXPECT_EQ(dialogs.saveFolders.size(), dialogsShown);
}

TEST_F(PrintWindowTest, PdfThatCannotBeWrittenIsReportedAndTheFolderNotRemembered) {
    start();
    type("Rain", "one line");
    dialogs.savePaths.push_back(QString::fromStdString((dir / "missing" / "rain").string()));
    actions().exportPdf->trigger();
    ASSERT_EQ(dialogs.errors().size(), 1u);
    EXPECT_TRUE(dialogs.errors()[0].contains("missing")) << dialogs.errors()[0].toStdString();
    EXPECT_FALSE(exists("missing"));
    EXPECT_EQ(file("settings.ini").find("pdffolder"), std::string::npos);
}

TEST_F(PrintWindowTest, NewCommandsSitInTheFileMenuAndSpeakTheLanguage) {
    start();
    const QList<QAction*> items = window->menus().file->actions();
    const auto at = [&items](QAction* action) { return items.indexOf(action); };
    EXPECT_EQ(at(actions().exportPdf), at(actions().exportAll) + 1);
    EXPECT_EQ(at(actions().printPreview), at(actions().print) - 1);
    EXPECT_EQ(actions().printPreview->text(), "Print Preview\u2026");
    EXPECT_EQ(actions().exportPdf->text(), "Export as PDF\u2026");

    struct Language {
        const char* name;
        const char* preview;
        const char* exportPdf;
        const char* filter;
    };
    const Language languages[] = {
        {"German", "Druckvorschau\u2026", "Als PDF exportieren\u2026", "PDF-Dokumente (*.pdf)"},
        {"Hungarian", "Nyomtat\u00E1si k\u00E9p\u2026", "Export\u00E1l\u00E1s PDF-be\u2026",
         "PDF-dokumentumok (*.pdf)"},
    };
    std::filesystem::create_directories(dir / "lang");
    for (const auto& language : languages) {
        SCOPED_TRACE(language.name);
        std::filesystem::copy_file(STANZEL_SOURCE_DIR "/lang/" + std::string(language.name) +
                                       ".lng",
                                   dir / "lang" / (std::string(language.name) + ".lng"));
        window->applyLanguage(language.name);
        EXPECT_EQ(actions().printPreview->text(), QString::fromUtf8(language.preview));
        EXPECT_EQ(actions().exportPdf->text(), QString::fromUtf8(language.exportPdf));
        type("Rain", "one line");
        actions().exportPdf->trigger();
        EXPECT_EQ(dialogs.saveFilters, QStringList{QString::fromUtf8(language.filter)});
    }
}

// The poem box, like the page, tells a wrap from a line break: every
// paragraph's later rows stand 2 em in, whether it was typed, pasted or
// loaded, and the text itself stays as it was.
class HangingIndentTest : public MainWindowTest {
protected:
    qreal indent() const { return 2 * QFontInfo(poemEdit()->font()).pixelSize(); }
    void expectEveryParagraphIndented() {
        int count = 0;
        for (QTextBlock block = poemEdit()->document()->begin(); block.isValid();
             block = block.next(), ++count) {
            SCOPED_TRACE(block.text().toStdString());
            EXPECT_EQ(block.blockFormat().leftMargin(), indent());
            EXPECT_EQ(block.blockFormat().textIndent(), -indent());
        }
        EXPECT_GT(count, 0);
    }
    // How far a wrapped paragraph's second row starts right of its first.
    qreal secondRowStep(const QTextBlock& block) {
        QApplication::processEvents();
        const QTextLayout* layout = block.layout();
        EXPECT_GE(layout->lineCount(), 2) << block.text().toStdString();
        if (layout->lineCount() < 2)
            return 0;
        return layout->lineAt(1).naturalTextRect().left() -
               layout->lineAt(0).naturalTextRect().left();
    }
};

TEST_F(HangingIndentTest, TypedPastedLoadedAndClearedTextAllHang) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Rain\r\npoet=\r\ndate=\r\n");
    std::filesystem::create_directories(dir / "poems");
    const QString longLine = LongLineWords().mid(0, 30).join(' ');
    WriteBytes(dir / "poems" / "1.poem", "short\r\n" + longLine.toStdString() + "\r\nend");
    start();
    QApplication::processEvents();

    // Loaded: the wrapped line's second row starts 2 em right of its first.
    select(0);
    ASSERT_EQ(poemEdit()->toPlainText(), "short\n" + longLine + "\nend");
    expectEveryParagraphIndented();
    EXPECT_NEAR(secondRowStep(poemEdit()->document()->findBlockByNumber(1)), indent(), 1.0);
    // The indent is no edit: there is nothing to undo after a load.
    EXPECT_FALSE(poemEdit()->document()->isUndoAvailable());

    // Typed, after New, with Enter and Shift+Enter.
    actions().newPoem->trigger();
    poemEdit()->setFocus();
    QTest::keyClicks(poemEdit(), "first");
    QTest::keyClick(poemEdit(), Qt::Key_Return);
    QTest::keyClicks(poemEdit(), longLine);
    QTest::keyClick(poemEdit(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(poemEdit(), "after");
    expectEveryParagraphIndented();
    EXPECT_NEAR(secondRowStep(poemEdit()->document()->findBlockByNumber(1)), indent(), 1.0);
    EXPECT_EQ(poemEdit()->toPlainText(), "first\n" + longLine + "\nafter");

    // Undone, the typing goes and the indent stays.
    QTest::keyClick(poemEdit(), Qt::Key_Z, Qt::ControlModifier);
    expectEveryParagraphIndented();

    // Pasted, several lines at once.
    poemEdit()->selectAll();
    QApplication::clipboard()->setText("pasted one\npasted two\n" + longLine);
    QTest::keyClick(poemEdit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(poemEdit()->toPlainText(), "pasted one\npasted two\n" + longLine);
    expectEveryParagraphIndented();
    EXPECT_NEAR(secondRowStep(poemEdit()->document()->lastBlock()), indent(), 1.0);

    // Saved as typed: the indent is the box's, never the poem's.
    titleEdit()->setText("Pasted");
    actions().savePoem->trigger();
    EXPECT_EQ(file("poems/2.poem"), "pasted one\r\npasted two\r\n" + longLine.toStdString());
}

// The empty line between two stanzas: Enter on an empty, indented line
// makes another line, as on any other.
TEST_F(HangingIndentTest, EnterOnAnEmptyLineMakesALine) {
    start();
    poemEdit()->setFocus();
    QTest::keyClicks(poemEdit(), "first");
    QTest::keyClick(poemEdit(), Qt::Key_Return);
    QTest::keyClick(poemEdit(), Qt::Key_Return);
    QTest::keyClick(poemEdit(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClicks(poemEdit(), "fourth");
    EXPECT_EQ(poemEdit()->toPlainText(), "first\n\n\nfourth");
    expectEveryParagraphIndented();
}

} // namespace
} // namespace stanzel
