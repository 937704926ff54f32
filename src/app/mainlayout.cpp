#include "app/mainlayout.h"

#include <algorithm>

namespace vistrel {

QSizeF clampToMinimum(QSizeF outer)
{
    return {std::max(outer.width(), layout::minimumWidth),
            std::max(outer.height(), layout::minimumHeight)};
}

MainLayout layoutForOuterSize(QSizeF outer)
{
    const double width = outer.width();
    const double height = outer.height();
    MainLayout l;
    l.container = QRectF(2640, 600, width - 2970, height - 1800);
    l.vscroll = QRectF(width - 345, 585, 200, l.container.height());
    l.hscroll = QRectF(2640, height - 1200, l.container.width(), 200);
    l.tree = QRectF(0, 360, 2535, height - 3200);
    l.list = QRectF(0, height - 2800, 2535, 1815);
    l.pathLabel = QRectF(2640, 360, 6375, 255);
    return l;
}

QSizeF outerSizeForWindow(QSizeF windowTwips)
{
    return {windowTwips.width() + layout::decorationWidth,
            windowTwips.height() + layout::decorationHeight};
}

QRect keepInside(const QRect &frame, const QRect &available, const QSize &minimum)
{
    const QSize size = frame.size().boundedTo(available.size()).expandedTo(minimum);
    // Right and bottom first, so that a window larger than the area keeps its top-left corner
    // (and with it the caption) on the screen.
    const int left =
        std::max(std::min(frame.left(), available.right() + 1 - size.width()), available.left());
    const int top =
        std::max(std::min(frame.top(), available.bottom() + 1 - size.height()), available.top());
    return QRect(QPoint(left, top), size);
}

} // namespace vistrel
