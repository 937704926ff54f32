#include "info/infolayout.h"

#include <cmath>

namespace vistrel::infolayout {

int pixels(int twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

QRect pixels(const TwipRect &r)
{
    // Edges are rounded, not sizes, so neighbouring boxes that touch in twips touch on screen.
    const int left = pixels(r.left);
    const int top = pixels(r.top);
    return QRect(left, top, pixels(r.left + r.width) - left, pixels(r.top + r.height) - top);
}

ScreenLayout splash()
{
    ScreenLayout l;
    l.companyProduct = {2235, 225, 3000, 435};
    l.productName = {2400, 660, 2430, 765};
    l.platform = {5580, 1380, 1275, 360};
    l.version = {6045, 1740, 810, 270};
    l.copyright = {2400, 1500, 2415, 255};
    l.company = {2400, 1710, 2415, 255};
    l.image = {120, 240, 1980, 1965};
    l.link = {4800, 2280, 2295, 255};
    l.linkOnWindow = true;
    l.button = {4680, 2760, 2295, 615};
    return l;
}

ScreenLayout about()
{
    ScreenLayout l = splash();
    l.productName = {2520, 600, 2430, 765};
    l.platform = {5670, 1440, 1275, 360};
    l.version = {6135, 1800, 810, 270};
    l.link = {4680, 2400, 2295, 255};
    l.linkOnWindow = false;
    return l;
}

} // namespace vistrel::infolayout
