#pragma once

#include "common/rounding.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

namespace vistrel {

// Arithmetic of the viewing area: the picture's own size in hundredths of a millimetre, the size
// text of the status bar, and where a picture shown at its own size sits inside the area.

// Pixels at 96 per inch in hundredths of a millimetre: px * 2540 / 96, halves to even.
qint64 pixelsToHimetric(qint64 pixels);

// "<shown height>x<shown width>   <own height>x<own width>   " with the shown size in pixels and
// the own size in HIMETRIC.
QString sizeText(int shownHeight, int shownWidth, qint64 ownHeightHimetric,
                 qint64 ownWidthHimetric);

// Placement of a picture at its own size in an area. A picture as large as the area or larger in
// a direction stays at offset 1 there; a smaller one is centred (possibly at a half pixel). Any
// centring hides both scroll bars before an overhang shows its bar, so a narrow but tall picture
// ends with only the vertical bar.
struct ActualPlacement
{
    double left = 1;
    double top = 1;
    bool horizontalBar = false;
    bool verticalBar = false;
    // Scroll ranges: the overhang in pixels. Not limited to 16 bits.
    int horizontalMax = 0;
    int verticalMax = 0;
};
ActualPlacement placeActualSize(const QSize &picture, const QSize &area);

// The tiles (squares of `tile` pixels on a grid from the picture's top-left corner, cut at its
// edges) that a picture of `picture` pixels needs for the part `visible` of it: those it shows
// first, nearest the top-left of the view first, then a ring of `margin` tiles around them.
QList<QRect> tilesFor(const QRect &visible, const QSize &picture, int tile, int margin);

// Tiles gathered into as few rectangles as rows allow, each decoded in one pass: the tiles of a
// row that touch form a run, and a run just below another with the same columns joins it.
// Blocks come in the order of their first tile.
QList<QRect> tileBlocks(const QList<QRect> &tiles);

// The size of the reduced whole picture drawn under tiles not yet decoded: an eighth of the
// picture each way (what a JPEG decodes cheapest), smaller still beyond `maxPixels`.
QSize overviewSize(const QSize &picture, qint64 maxPixels);

// A scroll bar at value v puts the picture's edge at -v.
inline double scrollPosition(int value)
{
    return -double(value);
}

} // namespace vistrel
