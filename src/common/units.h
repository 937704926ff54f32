#pragma once

#include <QRect>
#include <QRectF>

namespace vistrel::units {

// The windows are drawn up in twips, 1/1440 inch: 15 twips to a device-independent pixel.
inline constexpr double twipsPerPixel = 15.0;

// Twips to device-independent pixels, to the nearest pixel, halves away from zero. Every
// conversion of a position or size goes through here, so that all windows agree on where a twip
// lands.
int toPixels(double twips);

// A rectangle in twips as pixels. Its edges are rounded, not its size, so boxes that touch in
// twips touch on screen.
QRect toPixels(const QRectF &twips);
QRect toPixels(double left, double top, double width, double height);

// Device-independent pixels to twips, exactly.
inline double toTwips(double pixels)
{
    return pixels * twipsPerPixel;
}

} // namespace vistrel::units
