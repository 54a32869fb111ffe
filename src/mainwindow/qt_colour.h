#pragma once

#include "storage/colour.h"

#include <QColor>
#include <QPalette>

class QWidget;

namespace stanzel {

// Red-green-blue colours as they are; a system colour (high byte 0xFF) as the
// palette role that plays the same part on this desktop.
QColor ToQColor(Colour colour, const QPalette& palette);
Colour FromQColor(const QColor& colour);
// The colour text is drawn in on `background` (see ContrastingText).
QColor TextColourOn(const QColor& background);
// A box's or list's background, and text that reads on it whatever the
// desktop's theme.
void SetBackground(QWidget* widget, const QColor& colour);

} // namespace stanzel
