#pragma once

#include "viewer/pictureloader.h"

#include <QSize>
#include <QtGlobal>

namespace vistrel {

// Where the rows of an uncompressed 24- or 32-bit BMP lie. Valid only for the files the
// streaming decoder reads: every header field checked, every row present in the file. Any
// other BMP (palettes, 16 bits, run-length coding, unusual colour masks, alpha, a file cut
// short) is left to Qt's reader.
struct BmpLayout
{
    bool valid = false;
    QSize size; // of the picture, upright
    bool topDown = false;
    int bytesPerPixel = 0; // 3 or 4, stored blue, green, red (and unused)
    qint64 dataOffset = 0;
    qint64 stride = 0; // bytes of one stored row, padding included
};

// Bytes of the file's start that readBmpLayout needs at most.
constexpr qint64 bmpHeadBytes = 14 + 124;

// The layout from the file's first bytes (`length` of them) and the file's size.
BmpLayout readBmpLayout(const unsigned char *head, qint64 length, qint64 fileBytes);

// Decodes the BMP open at fd (read in chunks of rows from its offset, never whole) straight to
// `atLeast` in both directions (never enlarged; empty: full size), averaging the area each
// output pixel covers as the rows pass. Peak memory is the result plus a few rows, checked
// against the limit before anything is allocated; the cancel flag is looked at between chunks.
LoadedPicture decodeBmp(int fd, const BmpLayout &layout, const QSize &atLeast,
                        const LoadLimits &limits);

} // namespace vistrel
