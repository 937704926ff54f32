#pragma once

#include <QRect>
#include <QSize>
#include <QtGlobal>

namespace vistrel {

// Pixels beyond which Qt's image readers refuse a picture outright, as if it were damaged.
constexpr qint64 readerPixelLimit = 16384LL * 16384;

// Where a GIF's first frame lies on its logical screen, from the file's first bytes. The
// picture shown is the screen; one larger than Qt's reader takes is cut at the first frame's
// right and bottom edges: what lies beyond them is only background, and such a screen (65535
// square around one pixel) would otherwise stand for a picture nobody drew.
struct GifScreen
{
    bool valid = false;
    QSize screen; // as the file states it
    QRect frame;  // the first frame; empty when the bytes given end before it
    // The size of the picture shown.
    QSize shown() const;
};

GifScreen readGifScreen(const unsigned char *head, qint64 length);

} // namespace vistrel
