#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// Raised when there is no printer to print on or the printer fails; the text
// is ready to show the user, which the window's top-level handler does.
class PrintError : public std::runtime_error {
public:
    explicit PrintError(const std::string& message) : std::runtime_error(message) {}
};

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    friend bool operator==(const FontStyle&, const FontStyle&) = default;
};

// What the page layout needs from a printer. Coordinates and sizes are in
// dots of a 300-dots-per-inch page, whatever the printer's resolution, with
// (0, 0) at the top left of the printable area; text is UTF-8. The current font persists between calls, as on a printer's
// canvas: the layout only ever changes its size and its style.
class PrintSurface {
public:
    virtual ~PrintSurface() = default;

    virtual void beginDocument(std::string_view name) = 0;
    virtual void endDocument() = 0;
    virtual int pageWidth() const = 0;
    virtual int pageHeight() const = 0;

    virtual int fontSize() const = 0; // points
    virtual void setFontSize(int points) = 0;
    virtual FontStyle fontStyle() const = 0;
    virtual void setFontStyle(FontStyle style) = 0;
    // The current font's character height in dots; a surface may report it
    // negative, as some printer drivers do.
    virtual int fontHeight() const = 0;
    virtual int textWidth(std::string_view text) const = 0;

    // Draws `text` in the current font with its top left corner at (x, y).
    virtual void drawText(int x, int y, std::string_view text) = 0;
    virtual void newPage() = 0;
};

// A poem as the window shows it at the moment of printing, saved or not.
struct PrintedPoem {
    std::string title;
    // The lines of the poem text box as the box lays them out: a line the box
    // wraps counts as several.
    std::vector<std::string> lines;
    std::string poetLabel; // the caption of the poet box's label, "Poet:"
    std::string poet;
    std::string dateLabel; // the caption of the date box's label, "Date of writing:"
    std::string date;
};

// Layout distances in dots of a 300-dpi page: the sizes they were made for.
// Fixed in device pixels they would overprint on a finer printer (at 1200 dpi
// the title covers the first line and the poet line the date line).
inline constexpr int kTitleOffset = 50;
inline constexpr int kFirstLineOffset = 150;
inline constexpr int kLineGap = 10;
inline constexpr int kFooterLeft = 200;
inline constexpr int kPoetOffset = 150;
inline constexpr int kDateOffset = 200;
inline constexpr int kTitleSizeStep = 2;
inline constexpr std::size_t kLongestPrintedLine = 4096; // characters

// Prints one poem as one document: the title centred and bold at the top,
// every line centred under it, a new page whenever the lines reach the page's
// end, then the poet and date lines in italic and underlined. Nothing is cut
// off by the page's end: a line that would be starts the next page, and the
// poet and date lines go there together.
void PrintPoem(PrintSurface& surface, const PrintedPoem& poem);

} // namespace stanzel
