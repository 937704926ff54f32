#pragma once

#include <QRect>

namespace vistrel::infolayout {

// Positions of the splash and About screens in twips, the unit the screens are drawn up in:
// 15 twips to a device-independent pixel. Controls inside the frame are relative to the
// frame's top-left corner; the splash's link lies on the window itself.
struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

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

inline constexpr int twipsPerPixel = 15;
inline constexpr int clientWidth = 7290;
inline constexpr int clientHeight = 3540;
inline constexpr TwipRect frame{80, 20, 7080, 3435};

// Twips to device-independent pixels, rounded to the nearest pixel.
int pixels(int twips);
QRect pixels(const TwipRect &r);

ScreenLayout splash();
ScreenLayout about();

} // namespace vistrel::infolayout
