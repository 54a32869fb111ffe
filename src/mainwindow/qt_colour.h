#pragma once

#include "storage/colour.h"

#include <QColor>
#include <QPalette>

namespace stanzel {

// Red-green-blue colours as they are; a system colour (high byte 0xFF) as the
// palette role that plays the same part on this desktop.
QColor ToQColor(Colour colour, const QPalette& palette);
Colour FromQColor(const QColor& colour);
// The colour text is drawn in on `background` (see ContrastingText).
QColor TextColourOn(const QColor& background);

} // namespace stanzel
