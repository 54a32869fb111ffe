#include "mainwindow/qt_colour.h"

#include <QWidget>
#include <array>

namespace stanzel {

namespace {

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Indexed by the desktop system colour index 0 to 30.
constexpr std::array<SystemRole, 31> kSystemRoles{{
    {QPalette::Active, QPalette::Button},          // scroll bar
    {QPalette::Active, QPalette::Window},          // desktop background
    {QPalette::Active, QPalette::Highlight},       // active caption
    {QPalette::Inactive, QPalette::Button},        // inactive caption
    {QPalette::Active, QPalette::Window},          // menu
    {QPalette::Active, QPalette::Base},            // window
    {QPalette::Active, QPalette::Shadow},          // window frame
    {QPalette::Active, QPalette::WindowText},      // menu text
    {QPalette::Active, QPalette::Text},            // window text
    {QPalette::Active, QPalette::HighlightedText}, // caption text
    {QPalette::Active, QPalette::Mid},             // active border
    {QPalette::Inactive, QPalette::Mid},           // inactive border
    {QPalette::Active, QPalette::Dark},            // application workspace
    {QPalette::Active, QPalette::Highlight},       // highlight
    {QPalette::Active, QPalette::HighlightedText}, // highlight text
    {QPalette::Active, QPalette::Button},          // button face
    {QPalette::Active, QPalette::Dark},            // button shadow
    {QPalette::Disabled, QPalette::Text},          // grey text
    {QPalette::Active, QPalette::ButtonText},      // button text
    {QPalette::Inactive, QPalette::WindowText},    // inactive caption text
    {QPalette::Active, QPalette::Light},           // button highlight
    {QPalette::Active, QPalette::Shadow},          // 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 3D light
    {QPalette::Active, QPalette::ToolTipText},     // info text
    {QPalette::Active, QPalette::ToolTipBase},     // info background
    {QPalette::Active, QPalette::Window},          // (unnamed)
    {QPalette::Active, QPalette::Link},            // hot light
    {QPalette::Active, QPalette::Highlight},       // gradient active caption
    {QPalette::Inactive, QPalette::Button},        // gradient inactive caption
    {QPalette::Active, QPalette::Highlight},       // menu highlight
    {QPalette::Active, QPalette::Window},          // menu bar
}};

} // namespace

QColor ToQColor(Colour colour, const QPalette& palette) {
    if (IsSystemColour(colour)) {
        const auto index = static_cast<std::size_t>(SystemColourIndex(colour));
        const SystemRole role = index < kSystemRoles.size()
                                    ? kSystemRoles[index]
                                    : SystemRole{QPalette::Active, QPalette::Base};
        return palette.color(role.group, role.role);
    }
    if (colour == kColourNone || colour == kColourDefault || (colour >> 24) != 0)
        return palette.color(QPalette::Active, QPalette::Base);
    return QColor(Red(colour), Green(colour), Blue(colour));
}

Colour FromQColor(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return RgbColour(rgb.red(), rgb.green(), rgb.blue());
}

QColor TextColourOn(const QColor& background) {
    const Colour text = ContrastingText(FromQColor(background));
    return QColor(Red(text), Green(text), Blue(text));
}

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Text, TextColourOn(colour));
    widget->setPalette(palette);
}

} // namespace stanzel
