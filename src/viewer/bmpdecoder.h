#pragma once

#include "viewer/pictureloader.h"

#include <QRgb>
#include <QSize>
#include <QtGlobal>

#include <array>

namespace vistrel {

// Where the rows of an uncompressed BMP lie and how its pixels are stored: 1, 4 or 8 bits
// through a palette, 16 or 32 bits through colour masks, or 24 and 32 bits stored blue, green,
// red. Valid only for the files the streaming decoder reads: every header field checked, every
// row present in the file. Any other BMP (run-length coding, alpha, masks that overlap or are
// not contiguous, a file cut short) is left to Qt's reader.
struct BmpLayout
{
    bool valid = false;
    QSize size; // of the picture, upright
    bool topDown = false;
    int bits = 0; // per stored pixel
    qint64 dataOffset = 0;
    qint64 stride = 0; // bytes of one stored row, padding included
    bool masked = false;
    std::array<quint32, 3> masks = {};  // red, green, blue, when masked
    std::array<QRgb, 256> palette = {}; // entries past those stored are black

    // Stored blue, green, red in whole bytes (24 bits, or 32 without masks or with the usual ones).
    bool plain() const { return bits >= 24 && !masked; }
};

// Bytes of the file's start that readBmpLayout needs at most (headers, masks and palette).
constexpr qint64 bmpHeadBytes = 14 + 124 + 12 + 256 * 4;

// The layout from the file's first bytes (`length` of them) and the file's size.
BmpLayout readBmpLayout(const unsigned char *head, qint64 length, qint64 fileBytes);

// The size any BMP's header states, for those the streaming decoder does not read; empty when
// the header is no BMP's or, uncompressed, cannot hold even one of its rows in the file.
QSize bmpStatedSize(const unsigned char *head, qint64 length, qint64 fileBytes);

// Writes `count` pixels of a stored row (`row` its first byte) from pixel `first` on as blue,
// green and red bytes, three a pixel.
void bmpPixels(const BmpLayout &layout, const unsigned char *row, qint64 first, qint64 count,
               unsigned char *out);

// Decodes the BMP open at fd (read in chunks of rows from its offset, never whole) straight to
// `atLeast` in both directions (never enlarged; empty: full size), averaging the area each
// output pixel covers as the rows pass. Peak memory is the result plus a few rows, checked
// against the limit before anything is allocated; the cancel flag is looked at between chunks.
LoadedPicture decodeBmp(int fd, const BmpLayout &layout, const QSize &atLeast,
                        const LoadLimits &limits);

} // namespace vistrel
