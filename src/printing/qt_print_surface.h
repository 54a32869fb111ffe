#pragma once

#include "printing/print_layout.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QTextDocument;

namespace stanzel {

// A QPrinter as the page layout sees it: a 300-dpi page, origin at the top
// left of the printable area, and a font that starts as Tahoma at 8 points (or
// the nearest face the system has). Positions are scaled to the printer's
// resolution only when text is drawn; the text itself stays vector, so a finer
// printer prints it finer.
class QtPrintSurface : public PrintSurface {
public:
    explicit QtPrintSurface(QPrinter& printer);
    ~QtPrintSurface() override;

    void beginDocument(std::string_view name) override;
    void endDocument() override;
    int pageWidth() const override;
    int pageHeight() const override;
    int fontSize() const override;
    void setFontSize(int points) override;
    FontStyle fontStyle() const override;
    void setFontStyle(FontStyle style) override;
    // points x 300 / 72, rounded: the character height the layout's line
    // steps are built on, not the taller line height of the face.
    int fontHeight() const override;
    int textWidth(std::string_view text) const override;
    void drawText(int x, int y, std::string_view text) override;
    void newPage() override;

private:
    void applyFont();
    // Device pixels per dot of the 300-dpi page, across and down.
    double scaleX() const;
    double scaleY() const;

    QPrinter& printer_;
    QPainter painter_;
    QFont font_;
};

// Prints on `printer` at whatever resolution it was set up with.
void PrintOnPrinter(const PrintedPoem& poem, QPrinter& printer);

// The system's default printer at the resolution Qt picks for it, or, when
// there is none, Qt's own choice of printer (a PDF file).
std::unique_ptr<QPrinter> DefaultPrinterOrAny();

// Prints on the system's default printer without a dialog, at the resolution
// Qt picks for it. Throws PrintError
// "There is no default printer currently selected" when there is none, and
// PrintError when the printer fails.
void PrintOnDefaultPrinter(const PrintedPoem& poem);

// Prints to a PDF file on `paper`: at the resolution Qt picks for a printer
// (as for the default printer), or at `dotsPerInch` when given. Text stays
// text, which a reader can select and search.
void PrintToPdf(const PrintedPoem& poem, const QString& pdfPath,
                const QPageSize& paper = QPageSize(QPageSize::A4),
                std::optional<int> dotsPerInch = std::nullopt);

// The lines of a text box's document as the box lays them out: each line the
// box wraps becomes several, and a line break at the very end of the text adds
// no empty line. A line separator inside a paragraph (Shift+Enter) ends a line
// like a paragraph break, and no line holds one. The box must have been given
// its width (shown once). The AbiWord export keeps the box's rows; the
// printed page lays out the poem's own lines.
std::vector<std::string> DisplayedLines(const QTextDocument& document);

} // namespace stanzel
