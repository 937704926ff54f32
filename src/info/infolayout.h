#pragma once

#include <QRectF>

namespace vistrel::infolayout {

// Positions of the splash and About screens in twips, the unit the screens are drawn up in
// (common/units.h turns them into pixels). Controls inside the frame are relative to the frame's
// top-left corner; the splash's link lies on the window itself.
using TwipRect = QRectF;

struct ScreenLayout
{
    TwipRect companyProduct;
    TwipRect productName;
    TwipRect platform;
    TwipRect version;
    TwipRect copyright;
    TwipRect company;
    TwipRect image;
    TwipRect link;
    bool linkOnWindow = false; // true: link in window coordinates, outside the frame
    TwipRect button;
};

inline constexpr int clientWidth = 7290;
inline constexpr int clientHeight = 3540;
inline constexpr TwipRect frame{80, 20, 7080, 3435};

ScreenLayout splash();
ScreenLayout about();

} // namespace vistrel::infolayout
