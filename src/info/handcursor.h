#pragma once

class QCursor;
class QImage;

namespace vistrel {

// The link's own pointing hand: 32 x 32, the fingertip at the hot spot (13, 5).
inline constexpr int handCursorSize = 32;
inline constexpr int handHotSpotX = 13;
inline constexpr int handHotSpotY = 5;

QImage handCursorImage();
QCursor handCursor();

} // namespace vistrel
