#pragma once

#include "viewer/colourprofile.h"
#include "viewer/pictureloader.h"

#include <QSize>

namespace vistrel {

// What the JPEG decoder is asked for: a decode at least `atLeast` in both directions of the
// upright picture (empty: full size), or, with `largestWithinBudget`, the largest reduction whose
// memory fits the limits.
struct JpegRequest
{
    QSize atLeast;
    bool largestWithinBudget = false;
    LoadLimits limits;
    // Whose colours a picture with an embedded profile is given.
    ColourTarget colours = ColourTarget::Display;
};

// Decodes the JPEG file open at fd (read from its start, never mapped) with libjpeg-turbo,
// straight into the image, reduced by the decoder's own scaling and turned upright by the
// file's orientation tag, and its colours converted once by its embedded profile, if any. Refused
// before any large allocation when the decoder's full-size buffers plus the picture would exceed
// the memory limit; a file with more scans than any encoder writes is unreadable; the cancel flag
// is looked at between rows and scans.
LoadedPicture decodeJpeg(int fd, const JpegRequest &request);

} // namespace vistrel
