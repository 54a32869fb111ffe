#include "export/html_color.h"

#include "storage/ascii.h"

namespace stanzel {

std::string htmlcolor(Colour colour) {
    std::string text = ColorToText(colour);
    if (text.starts_with('$') && text.size() == 9) {
        // "$00BBGGRR": the high byte goes, the rest turns round to red first.
        const std::string_view bgr = std::string_view(text).substr(3);
        text = "#" + std::string(bgr.substr(4, 2)) + std::string(bgr.substr(2, 2)) +
               std::string(bgr.substr(0, 2));
    }
    if (text.starts_with("cl")) {
        std::string stripped;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "cl") == 0)
                ++i;
            else
                stripped += text[i];
        }
        text = std::move(stripped);
    }
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

} // namespace stanzel
