#include "printing/print_layout.h"

#include <cstdlib>

namespace stanzel {

namespace {

// The first `count` characters of UTF-8 text, never splitting a character.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count)
            return text.substr(0, i);
    }
    return text;
}

int Centred(const PrintSurface& surface, int pageWidth, std::string_view text) {
    return pageWidth / 2 - surface.textWidth(text) / 2;
}

// Whether something `height` tall fits between `y` and the page's end. At the
// top of a page it always does: no later page would hold it any better.
bool FitsBelow(const PrintSurface& surface, int y, int height) {
    return y == 0 || y + height <= surface.pageHeight();
}

} // namespace

void PrintPoem(PrintSurface& surface, const PrintedPoem& poem) {
    surface.beginDocument(poem.title);
    const int width = surface.pageWidth();
    int y = 0;

    for (std::size_t i = 0; i < poem.lines.size(); ++i) {
        const std::string_view line = FirstCharacters(poem.lines[i], kLongestPrintedLine);
        if (i == 0) {
            // Bold alone, and the lines by clearing bold: every job looks the
            // same whatever style the surface's font was left with.
            surface.setFontSize(surface.fontSize() + kTitleSizeStep);
            surface.setFontStyle({.bold = true});
            surface.drawText(Centred(surface, width, poem.title), y + kTitleOffset, poem.title);
            FontStyle style = surface.fontStyle();
            style.bold = false;
            surface.setFontStyle(style);
            surface.setFontSize(surface.fontSize() - kTitleSizeStep);
            y += kFirstLineOffset;
        }
        const int height = std::abs(surface.fontHeight());
        if (!FitsBelow(surface, y, height)) {
            surface.newPage();
            y = 0;
        }
        surface.drawText(Centred(surface, width, line), y, line);
        y += height + kLineGap;
        if (y >= surface.pageHeight()) {
            surface.newPage();
            y = 0;
        }
    }

    surface.setFontStyle({.italic = true, .underline = true});
    const bool poetShown = !poem.poet.empty();
    const bool dateShown = !poem.date.empty();
    if (poetShown || dateShown) {
        const int lowest = dateShown ? kDateOffset : kPoetOffset;
        if (!FitsBelow(surface, y, lowest + std::abs(surface.fontHeight()))) {
            surface.newPage();
            y = 0;
        }
    }
    if (poetShown)
        surface.drawText(kFooterLeft, y + kPoetOffset, poem.poetLabel + " " + poem.poet);
    if (dateShown)
        surface.drawText(kFooterLeft, y + kDateOffset, poem.dateLabel + " " + poem.date);
    surface.endDocument();
}

} // namespace stanzel
