#include "info/infolayout.h"

namespace vistrel::infolayout {

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
