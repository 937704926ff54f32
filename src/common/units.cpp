#include "common/units.h"

#include <QtGlobal>

namespace vistrel::units {

int toPixels(double twips)
{
    return qRound(twips / twipsPerPixel);
}

QRect toPixels(const QRectF &twips)
{
    return toPixels(twips.x(), twips.y(), twips.width(), twips.height());
}

QRect toPixels(double left, double top, double width, double height)
{
    const int x = toPixels(left);
    const int y = toPixels(top);
    return QRect(x, y, toPixels(left + width) - x, toPixels(top + height) - y);
}

} // namespace vistrel::units
