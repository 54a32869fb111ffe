#pragma once

#include "printing/print_layout.h"

#include <QFont>
#include <QPainter>
#include <QString>
#include <string>
#include <vector>

class QPrinter;
class QTextDocument;

namespace stanzel {

// A QPrinter as the page layout sees it: device pixels of the printer's
// resolution, origin at the top left of the printable area, and a font that
// starts as Tahoma at 8 points (or the nearest face the system has).
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
    // points x dots per inch / 72, rounded: the character height the layout's
    // line steps are built on, not the taller line height of the face.
    int fontHeight() const override;
    int textWidth(std::string_view text) const override;
    void drawText(int x, int y, std::string_view text) override;
    void newPage() override;

private:
    void applyFont();

    QPrinter& printer_;
    QPainter painter_;
    QFont font_;
};

// Prints on the system's default printer without a dialog. Throws PrintError
// "There is no default printer currently selected" when there is none, and
// PrintError when the printer fails.
void PrintOnDefaultPrinter(const PrintedPoem& poem);

// Prints to a PDF file on A4 paper at 600 dots per inch, for checking the
// printed page without a printer.
void PrintToPdf(const PrintedPoem& poem, const QString& pdfPath);

// The lines of a text box's document as the box lays them out: each line the
// box wraps becomes several, and a line break at the very end of the text adds
// no empty line. The box must have been given its width (shown once).
std::vector<std::string> DisplayedLines(const QTextDocument& document);

} // namespace stanzel
