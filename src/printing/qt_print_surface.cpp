#include "printing/qt_print_surface.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace stanzel {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the job went, for a message that tells the user which printer failed.
std::string Destination(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return "\"" + printer.outputFileName().toStdString() + "\"";
    return "\"" + printer.printerName().toStdString() + "\"";
}

// The resolution the layout's distances were made for.
constexpr double kLayoutDpi = 300.0;

} // namespace

QtPrintSurface::QtPrintSurface(QPrinter& printer) : printer_(printer), font_("Tahoma", 8) {}

QtPrintSurface::~QtPrintSurface() {
    // A job abandoned half way is cancelled rather than sent as it stands, and
    // still lets go of the printer.
    if (painter_.isActive()) {
        printer_.abort();
        painter_.end();
    }
}

void QtPrintSurface::beginDocument(std::string_view name) {
    printer_.setDocName(FromUtf8(name));
    if (!painter_.begin(&printer_))
        throw PrintError("Printing on " + Destination(printer_) + " could not start.");
    applyFont();
}

void QtPrintSurface::endDocument() {
    painter_.end();
    if (printer_.printerState() == QPrinter::Error || printer_.printerState() == QPrinter::Aborted)
        throw PrintError("Printing on " + Destination(printer_) + " failed.");
}

int QtPrintSurface::pageWidth() const {
    return static_cast<int>(printer_.width() / scaleX());
}

int QtPrintSurface::pageHeight() const {
    return static_cast<int>(printer_.height() / scaleY());
}

int QtPrintSurface::fontSize() const {
    return font_.pointSize();
}

void QtPrintSurface::setFontSize(int points) {
    font_.setPointSize(points);
    applyFont();
}

FontStyle QtPrintSurface::fontStyle() const {
    return {.bold = font_.bold(), .italic = font_.italic(), .underline = font_.underline()};
}

void QtPrintSurface::setFontStyle(FontStyle style) {
    font_.setBold(style.bold);
    font_.setItalic(style.italic);
    font_.setUnderline(style.underline);
    applyFont();
}

int QtPrintSurface::fontHeight() const {
    return static_cast<int>(std::lround(font_.pointSizeF() * kLayoutDpi / 72.0));
}

int QtPrintSurface::textWidth(std::string_view text) const {
    const QFontMetricsF metrics(font_, &printer_);
    return static_cast<int>(std::lround(metrics.horizontalAdvance(FromUtf8(text)) / scaleX()));
}

void QtPrintSurface::drawText(int x, int y, std::string_view text) {
    // QPainter places text on its baseline; the layout gives the top.
    const QFontMetricsF metrics(font_, &printer_);
    painter_.drawText(QPointF(x * scaleX(), y * scaleY() + metrics.ascent()), FromUtf8(text));
}

void QtPrintSurface::newPage() {
    if (!printer_.newPage())
        throw PrintError("Printing on " + Destination(printer_) + " failed.");
}

void QtPrintSurface::applyFont() {
    if (painter_.isActive())
        painter_.setFont(font_);
}

double QtPrintSurface::scaleX() const {
    return printer_.logicalDpiX() / kLayoutDpi;
}

double QtPrintSurface::scaleY() const {
    return printer_.logicalDpiY() / kLayoutDpi;
}

void PrintOnPrinter(const PrintedPoem& poem, QPrinter& printer) {
    QtPrintSurface surface(printer);
    PrintPoem(surface, poem);
}

std::unique_ptr<QPrinter> DefaultPrinterOrAny() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return std::make_unique<QPrinter>(QPrinter::HighResolution);
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void PrintOnDefaultPrinter(const PrintedPoem& poem) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw PrintError("There is no default printer currently selected");
    QPrinter printer(info, QPrinter::HighResolution);
    PrintOnPrinter(poem, printer);
}

void PrintToPdf(const PrintedPoem& poem, const QString& pdfPath, const QPageSize& paper,
                std::optional<int> dotsPerInch) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    printer.setPageSize(paper);
    if (dotsPerInch)
        printer.setResolution(*dotsPerInch);
    PrintOnPrinter(poem, printer);
}

std::vector<std::string> DisplayedLines(const QTextDocument& document) {
    std::vector<std::string> lines;
    // A line separator (Shift+Enter) ends the row it stands on as a paragraph
    // break would; the row keeps its text without it.
    const auto addRow = [&lines](QString row) {
        for (const QString& piece : row.split(QChar::LineSeparator))
            lines.push_back(piece.toStdString());
    };
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        const bool last = !block.next().isValid();
        // The empty row after a final break is no line of the text.
        if (last && text.isEmpty())
            break;
        const bool finalSeparator = last && text.endsWith(QChar::LineSeparator);
        if (finalSeparator)
            text.chop(1);
        // Asking for the block's extent makes the box lay out a block it has
        // not shown yet.
        if (layout)
            layout->blockBoundingRect(block);
        const QTextLayout* lineLayout = block.layout();
        if (!lineLayout || lineLayout->lineCount() == 0) {
            addRow(text);
            continue;
        }
        for (int i = 0; i < lineLayout->lineCount(); ++i) {
            const QTextLine line = lineLayout->lineAt(i);
            if (finalSeparator && i > 0 && line.textStart() >= text.size())
                break; // the row that the final separator opened
            QString row = text.mid(line.textStart(), line.textLength());
            if (row.endsWith(QChar::LineSeparator))
                row.chop(1);
            addRow(row);
        }
    }
    return lines;
}

} // namespace stanzel
