#include "storage/window_place.h"

#include <algorithm>

namespace stanzel {

ScreenRect PlaceWindow(std::optional<ScreenRect> stored, int defaultWidth, int defaultHeight,
                       const ScreenRect& available, const FrameRoom& frame) {
    const bool remembered = stored && stored->width > 0 && stored->height > 0;
    ScreenRect place;
    place.width = remembered ? stored->width : defaultWidth;
    place.height = remembered ? stored->height : defaultHeight;
    place.width = std::max(1, std::min(place.width, available.width - 2 * frame.sides));
    place.height = std::max(1, std::min(place.height, available.height - frame.top - frame.bottom));
    const int outerWidth = place.width + 2 * frame.sides;
    const int outerHeight = place.height + frame.top + frame.bottom;
    if (remembered) {
        place.x = stored->x;
        place.y = stored->y;
    } else {
        place.x = available.x + (available.width - outerWidth) / 2;
        place.y = available.y + (available.height - outerHeight) / 2;
    }
    place.x = std::clamp(place.x, available.x,
                         std::max(available.x, available.x + available.width - outerWidth));
    place.y = std::clamp(place.y, available.y,
                         std::max(available.y, available.y + available.height - outerHeight));
    return place;
}

} // namespace stanzel
