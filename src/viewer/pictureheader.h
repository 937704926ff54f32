#pragma once

#include <QByteArray>
#include <QSize>

struct stat;

namespace vistrel {

// What a picture file's first bytes say, read without decoding: enough to name the picture's
// size at once and to judge how long its decode will take.
struct PictureHeader
{
    bool valid = false; // a regular file whose header gives a size
    QSize size;         // the picture's own size in pixels
    qint64 fileBytes = 0;
    bool jpeg = false;       // decoded in strips, straight to a reduced size
    bool bmpStreams = false; // rows averaged as they are read, straight to the size asked for
    // A JPEG of several scans (progressive): its decoder holds the coefficients of the whole
    // picture, this many bytes, whatever size it is decoded to.
    qint64 coefficientBytes = 0;
    // Readable by region at its own size (RegionDecoder): an uncompressed BMP, or a baseline
    // JPEG in grey or colour stored upright.
    bool byRegion = false;
};

// Reads the start of the file (opened without blocking, so a FIFO cannot hang the caller).
// Any failure gives an invalid header: the caller then learns the reason from a real load.
PictureHeader readPictureHeader(const QByteArray &nativePath);
// The same from a file already open, of which fstat said `st`.
PictureHeader readPictureHeader(int fd, const struct stat &st);

} // namespace vistrel
