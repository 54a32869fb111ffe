#include "printing/print_layout.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

namespace stanzel {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

bool StartsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// The largest index for which `fits` holds, where `fits` holds up to some
// index and not after it, and gives nothing for an index past the last
// candidate; nothing when even index 0 fails. The indexes tried double
// before they are halved, so a row costs measurements of about its own
// length, not of the whole rest of a long line.
std::optional<std::size_t>
LargestFitting(const std::function<std::optional<bool>(std::size_t)>& fits) {
    std::optional<std::size_t> found;
    std::size_t probe = 0;
    std::size_t step = 1;
    for (;;) {
        const auto result = fits(probe);
        if (!result || !*result)
            break;
        found = probe;
        probe += step;
        step *= 2;
    }
    if (!found)
        return std::nullopt;
    std::size_t low = *found;
    std::size_t high = probe;
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        const auto result = fits(middle);
        if (result && *result)
            low = middle;
        else
            high = middle;
    }
    return low;
}

// The furthest of the ends that `next` gives, nearest first, up to which a
// row still `fits`; nothing when not even the first does.
std::optional<std::size_t>
FurthestFittingEnd(const std::function<std::optional<std::size_t>()>& next,
                   const std::function<bool(std::size_t)>& fits) {
    std::vector<std::size_t> ends;
    const auto found = LargestFitting([&](std::size_t k) -> std::optional<bool> {
        while (ends.size() <= k) {
            const auto end = next();
            if (!end)
                return std::nullopt;
            ends.push_back(*end);
        }
        return fits(ends[k]);
    });
    return found ? std::optional(ends[*found]) : std::nullopt;
}

// The end of the longest row that starts at `start` and is at most `width`
// wide: after its last whole word that fits, or, when not even the first
// word does, after as many of its characters as fit, at least one.
std::size_t RowEnd(const PrintSurface& surface, std::string_view line, std::size_t start,
                   int width) {
    const auto fitsUpTo = [&](std::size_t end) {
        return surface.textWidth(line.substr(start, end - start)) <= width;
    };
    const auto wordEndAfter = [&line](std::size_t i) {
        while (i < line.size() && IsSpace(line[i]))
            ++i;
        while (i < line.size() && !IsSpace(line[i]))
            ++i;
        return i;
    };
    const auto characterEndAfter = [&line](std::size_t i) {
        ++i;
        while (i < line.size() && !StartsCharacter(line[i]))
            ++i;
        return i;
    };

    std::size_t scanned = start;
    const auto nextWordEnd = [&]() -> std::optional<std::size_t> {
        const std::size_t end = wordEndAfter(scanned);
        // Spaces alone to the end make no word.
        if (end == scanned || IsSpace(line[end - 1]))
            return std::nullopt;
        return scanned = end;
    };
    if (const auto end = FurthestFittingEnd(nextWordEnd, fitsUpTo))
        return *end;

    // A word wider than the row: as much of it as fits, whole characters.
    const std::size_t firstWordEnd = wordEndAfter(start);
    std::size_t next = start;
    const auto nextCharacterEnd = [&]() -> std::optional<std::size_t> {
        if (next >= firstWordEnd)
            return std::nullopt;
        next = characterEndAfter(next);
        return next;
    };
    if (const auto end = FurthestFittingEnd(nextCharacterEnd, fitsUpTo))
        return *end;
    return characterEndAfter(start);
}

// The widths the layout works with on one surface, for one job.
struct PageFrame {
    int width = 0;
    int height = 0;
    int left = 0;     // the side margin
    int area = 0;     // the width between the side margins
    int indent = 0;   // of a wrapped line's later rows
    int bodySize = 0; // points
    int bodyHeight = 0;
    int bodyStep = 0; // from one row of the body's font to the next
    // Only a poem of several pages has a running title and page numbers,
    // and gives them room: it goes on lower and ends higher.
    int continuedTop = 0; // where the poem goes on, on pages after the first
    int bottom = 0;       // the poem ends above this

    explicit PageFrame(const PrintSurface& surface)
        : width(surface.pageWidth()), height(surface.pageHeight()), bodySize(surface.fontSize()),
          bodyHeight(std::abs(surface.fontHeight())), bodyStep(bodyHeight + kLineGap) {
        // A page too narrow for its margins (no printer's is) keeps its
        // middle half for the text.
        area = std::max(width - 2 * kSideMargin, width / 2);
        left = (width - area) / 2;
        indent = std::min(kHangingIndentEms * bodyHeight, area / 2);
        bottom = height;
    }
};

int Centred(const PrintSurface& surface, int pageWidth, std::string_view text) {
    return pageWidth / 2 - surface.textWidth(text) / 2;
}

// Fills pages from top to bottom, a row at a time.
class PageFiller {
public:
    PageFiller(PrintSurface& surface, const PageFrame& frame)
        : surface_(surface), frame_(frame), pages_(1) {}

    int y() const { return y_; }
    void moveTo(int y) { y_ = y; }

    // Starts a new page unless the current one holds something `height` tall
    // at y. An empty page always does: no later one would hold it better.
    void makeRoomFor(int height) {
        if (y_ != top() && y_ + height > frame_.bottom) {
            pages_.emplace_back();
            y_ = top();
        }
    }

    void put(int x, int y, const std::string& text) {
        if (!text.empty())
            pages_.back().push_back({x, y, text, surface_.fontSize(), surface_.fontStyle()});
    }

    // The rows of a wrapped text starting at `x`, the later ones indented,
    // from y on, a row's step apart.
    void putRows(int x, int y, const std::vector<std::string>& rows) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            put(i == 0 ? x : x + frame_.indent, y + static_cast<int>(i) * frame_.bodyStep, rows[i]);
    }

    std::vector<LaidOutPage> take() { return std::move(pages_); }

private:
    int top() const { return pages_.size() == 1 ? 0 : frame_.continuedTop; }

    PrintSurface& surface_;
    const PageFrame& frame_;
    std::vector<LaidOutPage> pages_;
    int y_ = 0;
};

void LayOutTitle(PrintSurface& surface, const PageFrame& frame, const PrintedPoem& poem,
                 PageFiller& filler) {
    // Bold alone, and the lines plain: every job looks the same whatever
    // style the surface's font was left with.
    surface.setFontSize(frame.bodySize + kTitleSizeStep);
    surface.setFontStyle({.bold = true});
    const int step = std::abs(surface.fontHeight()) + kLineGap;
    const auto rows = WrapLine(surface, poem.title, frame.area, frame.area);
    for (std::size_t i = 0; i < rows.size(); ++i)
        filler.put(Centred(surface, frame.width, rows[i]),
                   kTitleOffset + static_cast<int>(i) * step, rows[i]);
    filler.moveTo(kFirstLineOffset + static_cast<int>(rows.size() - 1) * step);
    surface.setFontStyle({});
    surface.setFontSize(frame.bodySize);
}

void LayOutLine(PrintSurface& surface, const PageFrame& frame, std::string_view line,
                PageFiller& filler) {
    const auto rows = WrapLine(surface, line, frame.area, frame.area - frame.indent);
    // A wrapped line's rows are centred together, as one block, so that its
    // later rows keep their indent.
    int blockWidth = 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        blockWidth = std::max(blockWidth, surface.textWidth(rows[i]) + (i == 0 ? 0 : frame.indent));
    const int x = frame.width / 2 - blockWidth / 2;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        filler.makeRoomFor(frame.bodyHeight);
        filler.put(i == 0 ? x : x + frame.indent, filler.y(), rows[i]);
        filler.moveTo(filler.y() + frame.bodyStep);
    }
}

void LayOutFooter(PrintSurface& surface, const PageFrame& frame, const PrintedPoem& poem,
                  PageFiller& filler) {
    surface.setFontStyle({.italic = true, .underline = true});
    const auto wrapped = [&](const std::string& label, const std::string& value) {
        if (value.empty())
            return std::vector<std::string>{};
        return WrapLine(surface, label + " " + value, frame.area, frame.area - frame.indent);
    };
    const auto poetRows = wrapped(poem.poetLabel, poem.poet);
    const auto dateRows = wrapped(poem.dateLabel, poem.date);
    if (poetRows.empty() && dateRows.empty())
        return;
    const auto extraRows = [&](const std::vector<std::string>& rows) {
        return rows.empty() ? 0 : static_cast<int>(rows.size() - 1) * frame.bodyStep;
    };
    // A poet line of several rows pushes the date line down by as many.
    const int dateOffset = kDateOffset + extraRows(poetRows);
    const int lowest =
        dateRows.empty() ? kPoetOffset + extraRows(poetRows) : dateOffset + extraRows(dateRows);
    filler.makeRoomFor(lowest + frame.bodyHeight);
    filler.putRows(frame.left, filler.y() + kPoetOffset, poetRows);
    filler.putRows(frame.left, filler.y() + dateOffset, dateRows);
}

std::vector<LaidOutPage> LayOutPages(PrintSurface& surface, const PageFrame& frame,
                                     const PrintedPoem& poem) {
    PageFiller filler(surface, frame);
    LayOutTitle(surface, frame, poem, filler);
    for (const std::string& line : poem.lines)
        LayOutLine(surface, frame, line, filler);
    LayOutFooter(surface, frame, poem, filler);
    return filler.take();
}

} // namespace

std::vector<std::string> WrapLine(const PrintSurface& surface, std::string_view line,
                                  int firstWidth, int restWidth) {
    if (surface.textWidth(line) <= firstWidth)
        return {std::string(line)};
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = RowEnd(surface, line, start, rows.empty() ? firstWidth : restWidth);
        rows.emplace_back(line.substr(start, end - start));
        start = end;
        while (start < line.size() && IsSpace(line[start]))
            ++start;
    }
    return rows;
}

std::vector<LaidOutPage> LayOutPoem(PrintSurface& surface, const PrintedPoem& poem) {
    PageFrame frame(surface);
    auto pages = LayOutPages(surface, frame, poem);
    if (pages.size() == 1)
        return pages;

    // Several pages: again, with room for the running title above and the
    // page number below. Less room never makes fewer pages.
    surface.setFontSize(frame.bodySize);
    surface.setFontStyle({.italic = true});
    const auto head = WrapLine(surface, poem.title, frame.area, frame.area);
    frame.continuedTop =
        static_cast<int>(head.size()) * frame.bodyStep - kLineGap + kRunningHeadGap;
    frame.bottom = frame.height - frame.bodyHeight - kRunningHeadGap;
    pages = LayOutPages(surface, frame, poem);

    const std::string count = std::to_string(pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        LaidOutPage& page = pages[p];
        surface.setFontStyle({.italic = true});
        if (p > 0) {
            LaidOutPage headed;
            for (std::size_t i = 0; i < head.size(); ++i)
                headed.push_back({Centred(surface, frame.width, head[i]),
                                  static_cast<int>(i) * frame.bodyStep, head[i], frame.bodySize,
                                  surface.fontStyle()});
            page.insert(page.begin(), headed.begin(), headed.end());
        }
        surface.setFontStyle({});
        const std::string number = std::to_string(p + 1) + " / " + count;
        page.push_back({Centred(surface, frame.width, number),
                        frame.height - frame.bodyHeight,
                        number,
                        frame.bodySize,
                        {}});
    }
    surface.setFontStyle({.italic = true, .underline = true});
    return pages;
}

void PrintPoem(PrintSurface& surface, const PrintedPoem& poem) {
    surface.beginDocument(poem.title);
    const int bodySize = surface.fontSize();
    const auto pages = LayOutPoem(surface, poem);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            surface.newPage();
        for (const PlacedText& text : pages[p]) {
            if (surface.fontSize() != text.size)
                surface.setFontSize(text.size);
            if (surface.fontStyle() != text.style)
                surface.setFontStyle(text.style);
            surface.drawText(text.x, text.y, text.text);
        }
    }
    surface.setFontSize(bodySize);
    surface.setFontStyle({.italic = true, .underline = true});
    surface.endDocument();
}

} // namespace stanzel
