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
// (0, 0) at the top left of the printable area; text is UTF-8. The current
// font persists between calls, as on a printer's canvas: the layout only ever changes its size and
// its style.
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
    // The poem's own lines, as its text holds them. How the screen happens to
    // wrap them has no say: the page wraps a line wider than itself.
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
// Text keeps this far from either side of the printable area; the footer has
// always started there.
inline constexpr int kSideMargin = kFooterLeft;
// A wrapped line's later rows start this many character heights (ems) in
// from its first, so that a reader tells a wrap from a line break.
inline constexpr int kHangingIndentEms = 2;
// Between the running title (pages after the first) or the page number and
// the poem.
inline constexpr int kRunningHeadGap = 50;

// One text of a laid-out page, in the font it is drawn in.
struct PlacedText {
    int x = 0;
    int y = 0;
    std::string text;
    int size = 0; // points
    FontStyle style;
    friend bool operator==(const PlacedText&, const PlacedText&) = default;
};
using LaidOutPage = std::vector<PlacedText>;

// The rows of `line` in the surface's current font: the first no wider than
// `firstWidth`, every later one no wider than `restWidth`. A line that fits
// is its own single row, spaces and all. Otherwise rows break at spaces (the
// spaces at a break belong to no row) and a word wider than a row breaks
// between two characters, never inside one. Every other byte of the line is
// in exactly one row, in order; a row holds at least one character however
// narrow the width, and an empty line is one empty row.
std::vector<std::string> WrapLine(const PrintSurface& surface, std::string_view line,
                                  int firstWidth, int restWidth);

// Lays one poem out on the surface's pages without drawing anything: the
// title centred and bold at the top, every line centred under it, then the
// poet and date lines in italic and underlined. A line wider than the page
// between its side margins wraps: its rows stand together, centred as one,
// the later ones indented. A row that the page's end would cut starts the
// next page, and the poet and date lines go there together; no page is left
// empty. A poem of several pages has its page number ("2 / 4") at the foot
// of every page and its title in italic at the top of every page but the
// first.
std::vector<LaidOutPage> LayOutPoem(PrintSurface& surface, const PrintedPoem& poem);

// Prints one poem as one document, laid out as above. The surface's font is
// left at the body's size, italic and underlined.
void PrintPoem(PrintSurface& surface, const PrintedPoem& poem);

} // namespace stanzel
