#pragma once

#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QRect>

namespace vistrel {

// Decodes one rectangle of a picture at its own size without decoding the rest into memory:
// a baseline JPEG stored upright through libjpeg-turbo's cropping and skipping of rows (the
// rows above are read but not turned into pixels, the columns outside are never converted),
// an uncompressed 24- or 32-bit BMP by reading only the bytes of the rows and columns asked
// for. Peak memory is the rectangle plus a row or two. Any other picture is refused as
// Unreadable; the caller decodes such a picture whole instead.
class RegionDecoder
{
public:
    // Whether the file can be read by region: what its header says (see PictureHeader::byRegion).
    static bool handles(const QByteArray &nativePath);
    // The part of the upright picture in `region` (clipped to the picture), as RGB32.
    static LoadedPicture decode(const QByteArray &nativePath, const QRect &region,
                                const LoadLimits &limits = {});
};

} // namespace vistrel
