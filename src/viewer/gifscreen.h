#pragma once

#include <QRect>
#include <QSize>
#include <QtGlobal>

namespace vistrel {

// Where a GIF's first frame lies on its logical screen, from the file's first bytes. The
// picture shown is the screen cut at the first frame's right and bottom edges: what lies beyond
// them is only background, and a screen claimed far larger than its frames (65535 square
// around one pixel) would otherwise stand for a picture nobody drew.
struct GifScreen
{
    bool valid = false;
    QSize screen; // as the file states it
    QRect frame;  // the first frame; empty when the bytes given end before it
    // The size of the picture shown: the screen cut at the first frame's far edges.
    QSize shown() const;
};

GifScreen readGifScreen(const unsigned char *head, qint64 length);

} // namespace vistrel
