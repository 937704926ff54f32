#pragma once

#include "viewer/colourprofile.h"
#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QImage>
#include <QRect>

namespace vistrel {

// One rectangle of a baseline JPEG stored upright, at its own size, from the open file `fd`
// (see RegionDecoder). The decoders that read it are kept, stopped where the rectangle ended,
// and the next rectangle of the same file further down within the same columns goes on from
// there instead of reading the rows above it again (a few such decoders, a few hundred
// kilobytes each, for the most recent files; see jpegregion.cpp).
LoadedPicture decodeJpegRegion(int fd, const QRect &region, const LoadLimits &limits);

// A piece is given the colours the whole picture is given: the file's profile converted to the
// display's. False when cancelled part-way.
bool withFileColours(QImage &image, const QByteArray &profile, StoredPixels stored,
                     const LoadLimits &limits);

// Drops every kept decoder (tests, and the end of a run's use of a file).
void dropKeptJpegDecoders();

} // namespace vistrel
