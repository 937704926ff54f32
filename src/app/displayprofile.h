#pragma once

#include <QByteArray>

namespace vistrel {

// The display's ICC profile as a colour daemon publishes it under X11: the `_ICC_PROFILE`
// property of the first screen's root window. Empty where it is not set, larger than a profile
// may be, or where there is no X server (Wayland, offscreen), so the display is taken as sRGB.
// One round trip to the X server; for the window's thread at start.
QByteArray x11DisplayProfile();

} // namespace vistrel
