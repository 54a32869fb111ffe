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
    return printer_.width();
}

int QtPrintSurface::pageHeight() const {
    return printer_.height();
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
    return static_cast<int>(std::lround(font_.pointSizeF() * printer_.logicalDpiY() / 72.0));
}

int QtPrintSurface::textWidth(std::string_view text) const {
    return QFontMetrics(font_, &printer_).horizontalAdvance(FromUtf8(text));
}

void QtPrintSurface::drawText(int x, int y, std::string_view text) {
    // QPainter places text on its baseline; the layout gives the top.
    const int baseline = y + QFontMetrics(font_, &printer_).ascent();
    painter_.drawText(QPoint(x, baseline), FromUtf8(text));
}

void QtPrintSurface::newPage() {
    if (!printer_.newPage())
        throw PrintError("Printing on " + Destination(printer_) + " failed.");
}

void QtPrintSurface::applyFont() {
    if (painter_.isActive())
        painter_.setFont(font_);
}

void PrintOnDefaultPrinter(const PrintedPoem& poem) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw PrintError("There is no default printer currently selected");
    QPrinter printer(info, QPrinter::HighResolution);
    QtPrintSurface surface(printer);
    PrintPoem(surface, poem);
}

void PrintToPdf(const PrintedPoem& poem, const QString& pdfPath) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(600);
    QtPrintSurface surface(printer);
    PrintPoem(surface, poem);
}

std::vector<std::string> DisplayedLines(const QTextDocument& document) {
    std::vector<std::string> lines;
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        // The empty block after a final line break is no line of the text.
        if (text.isEmpty() && !block.next().isValid())
            break;
        // Asking for the block's extent makes the box lay out a block it has
        // not shown yet.
        if (layout)
            layout->blockBoundingRect(block);
        const QTextLayout* lineLayout = block.layout();
        if (!lineLayout || lineLayout->lineCount() == 0) {
            lines.push_back(text.toStdString());
            continue;
        }
        for (int i = 0; i < lineLayout->lineCount(); ++i) {
            const QTextLine line = lineLayout->lineAt(i);
            lines.push_back(text.mid(line.textStart(), line.textLength()).toStdString());
        }
    }
    return lines;
}

} // namespace stanzel
