#pragma once

#include <QColor>
#include <QPalette>

namespace vistrel::infopalette {

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white), by their
// relative luminance as the readability guidelines for text measure it.
double contrast(const QColor &a, const QColor &b);

// The palette of the splash and the About box. Their texts have fixed dark colours (navy, blue,
// dark purple) drawn up for a light window, so the two windows keep a light window of their
// own whatever the desktop's theme. The link is drawn in the highlight colour: the theme's own
// where it stands out enough from that window, else a darker shade of it.
QPalette forTheme(const QPalette &theme);

} // namespace vistrel::infopalette
