#pragma once

#include <QRect>
#include <QRectF>
#include <QSizeF>

namespace vistrel {

// Window layout arithmetic in twips (1/1440 inch; 15 twips to a device-independent pixel). Sizes
// are the window's outer size; rectangles are in the coordinates of the area below the menu bar,
// where the toolbar takes the top 330 twips and the status bar the bottom 270.
namespace layout {
inline constexpr double minimumWidth = 9090;
inline constexpr double minimumHeight = 8610;
inline constexpr double toolbarHeight = 330;
inline constexpr double statusBarHeight = 270;
// Window borders and caption, which the window manager adds around the window: the stored
// width and height include them, as the window's outer size. The real frame is unknown until
// the window is shown, and not known at all on some platforms.
inline constexpr double decorationWidth = 120;
inline constexpr double decorationHeight = 390;
} // namespace layout

struct MainLayout
{
    QRectF tree;      // the folder tree
    QRectF list;      // the picture list
    QRectF pathLabel; // the full path of the picture shown
    QRectF container; // the viewing area
    QRectF hscroll;   // horizontal scroll bar of the viewing area
    QRectF vscroll;   // vertical scroll bar of the viewing area
};

// The window size raised to the minimum where it is smaller.
QSizeF clampToMinimum(QSizeF outer);

// Places every area for a window of the given outer size (already at least the minimum). The
// left column keeps its width, the viewing area its left and top edge; every further twip of
// width goes to the viewing area, every further twip of height to the viewing area and the tree.
MainLayout layoutForOuterSize(QSizeF outer);

// Outer size of a window whose own size (menu bar, toolbar and status bar included, as they
// really are) is this.
QSizeF outerSizeForWindow(QSizeF windowTwips);

// Where a window whose outer rectangle is frame goes so that it lies wholly inside the available
// area of its screen: moved in, keeping its size where that fits; where it does not, cut to the
// area but never below the minimum, its top-left corner then at the area's.
QRect keepInside(const QRect &frame, const QRect &available, const QSize &minimum);

} // namespace vistrel
