#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>

namespace vistrel {

// The orientation tag of a camera picture: how the stored rows and columns must be turned for
// the picture to stand upright. The values are those of the EXIF tag, 1 (as stored) to 8.
enum class Orientation {
    Upright = 1,
    MirroredHorizontally = 2,
    Rotated180 = 3,
    MirroredVertically = 4,
    Transposed = 5,   // mirrored across the top-left to bottom-right diagonal
    RotatedRight = 6, // turned a quarter clockwise to stand upright
    Transversed = 7,  // mirrored across the top-right to bottom-left diagonal
    RotatedLeft = 8,  // turned a quarter counter-clockwise to stand upright
};

// The orientation an EXIF block gives (the body of an APP1 segment, starting with "Exif\0\0").
// Upright when the block is absent, damaged, or holds no valid tag.
Orientation exifOrientation(const unsigned char *data, std::size_t length);

// Whether the upright picture has width and height swapped against the stored one.
bool swapsSides(Orientation orientation);

// The stored size of a picture whose upright size is given, and the other way round.
QSize turned(const QSize &size, Orientation orientation);

// The picture turned upright: mirrors in place, a quarter turn into one new image.
QImage upright(QImage stored, Orientation orientation);

} // namespace vistrel
