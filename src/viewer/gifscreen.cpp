#include "viewer/gifscreen.h"

#include <cstring>

namespace vistrel {
namespace {

int u16(const unsigned char *p)
{
    return p[0] | p[1] << 8;
}

} // namespace

QSize GifScreen::shown() const
{
    if (frame.isEmpty() || qint64(screen.width()) * screen.height() <= readerPixelLimit)
        return screen;
    return QSize(qMin(screen.width(), frame.x() + frame.width()),
                 qMin(screen.height(), frame.y() + frame.height()));
}

GifScreen readGifScreen(const unsigned char *head, qint64 length)
{
    GifScreen gif;
    if (length < 13 || (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0))
        return gif;
    gif.screen = QSize(u16(head + 6), u16(head + 8));
    gif.valid = !gif.screen.isEmpty();
    qint64 at = 13;
    if (head[10] & 0x80)
        at += 3 * (qint64(2) << (head[10] & 7));
    // Extensions (each a label and sub-blocks) may come before the first frame.
    while (at < length) {
        if (head[at] == 0x2C) {
            if (at + 9 <= length)
                gif.frame = QRect(u16(head + at + 1), u16(head + at + 3), u16(head + at + 5),
                                  u16(head + at + 7));
            return gif;
        }
        if (head[at] != 0x21 || at + 2 > length)
            return gif;
        at += 2;
        while (at < length && head[at] != 0)
            at += 1 + head[at];
        ++at;
    }
    return gif;
}

} // namespace vistrel
