#pragma once

#include "viewer/orientation.h"

#include <QSize>
#include <QtGlobal>

#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>

namespace vistrel {

// What a JPEG decode may hold and how its result is turned, for choosing its scale.
struct JpegBudget
{
    qint64 memoryBytes = 0;
    qint64 inputBytes = 0; // the decoder's own input buffer
    Orientation orientation = Orientation::Upright;
};

// A length of the picture decoded at eighths/8 of its size, as libjpeg rounds it.
qint64 scaledLength(JDIMENSION length, int eighths);

// What a decode at eighths/8 of the full size holds at its peak: the decoder's coefficients of
// the whole picture (files of several scans keep them, 2 bytes per pixel and component), its row
// buffers, the picture, and the copy a quarter turn makes.
qint64 jpegBytesNeeded(const jpeg_decompress_struct &cinfo, int eighths, const JpegBudget &budget);

// The decoder's scale, in eighths, for a header read: the largest within the budget
// (`largest`), else the smallest whose picture is still at least `wanted` (stored sides; empty:
// full size).
int jpegScale(const jpeg_decompress_struct &cinfo, const QSize &wanted, bool largest,
              const JpegBudget &budget);

} // namespace vistrel
