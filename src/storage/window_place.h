#pragma once

#include <optional>

namespace stanzel {

// A rectangle on the desktop in the window system's logical pixels.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// Room the window's frame takes around its contents, which the window
// system knows only once the window is shown.
struct FrameRoom {
    int sides = 0; // left and right, each
    int top = 0;   // the title bar
    int bottom = 0;
};

// Where the window opens, its frame's corner and its contents' size: where
// it last stood, or centred when it has no stored place; never bigger than
// the screen's free area, and moved wholly inside it, title bar and all, so
// that a changed scale or a screen taken away leaves it reachable.
ScreenRect PlaceWindow(std::optional<ScreenRect> stored, int defaultWidth, int defaultHeight,
                       const ScreenRect& available, const FrameRoom& frame);

} // namespace stanzel
