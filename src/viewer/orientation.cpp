#include "viewer/orientation.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

#include <cstring>

namespace vistrel {
namespace {

// Qt's turn for each orientation, in tag order.
constexpr QImageIOHandler::Transformations qtTurns[] = {
    QImageIOHandler::TransformationNone,
    QImageIOHandler::TransformationMirror,
    QImageIOHandler::TransformationRotate180,
    QImageIOHandler::TransformationFlip,
    QImageIOHandler::TransformationFlipAndRotate90,
    QImageIOHandler::TransformationRotate90,
    QImageIOHandler::TransformationMirrorAndRotate90,
    QImageIOHandler::TransformationRotate270,
};

// The header of a one-pixel grey JPEG without tables: enough for a reader to take the segments
// before it as a JPEG's.
constexpr unsigned char headerAfterExif[] = {
    0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00, // frame
    0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,                   // scan
    0xFF, 0xD9,
};

} // namespace

// The block is read by Qt's own JPEG reader: it walks the main directory only, in bounded
// steps. (A full EXIF parser that follows every directory link took seconds on a 60 kB block
// of self-referring links.) The block goes to the reader behind a table-less one-pixel header,
// so nothing but the segment is parsed, and the file is not read again.
Orientation exifOrientation(const unsigned char *data, std::size_t length)
{
    static const unsigned char exifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || length <= sizeof exifHeader || length > 0xFFFF - 2 ||
        std::memcmp(data, exifHeader, sizeof exifHeader) != 0)
        return Orientation::Upright;
    QByteArray jpeg;
    jpeg.reserve(qsizetype(length + 6 + sizeof headerAfterExif));
    jpeg.append("\xFF\xD8\xFF\xE1", 4);
    jpeg.append(char((length + 2) >> 8));
    jpeg.append(char((length + 2) & 0xFF));
    jpeg.append(reinterpret_cast<const char *>(data), qsizetype(length));
    jpeg.append(reinterpret_cast<const char *>(headerAfterExif), qsizetype(sizeof headerAfterExif));
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QImageIOHandler::Transformations turn = reader.transformation();
    for (int i = 0; i < 8; ++i)
        if (qtTurns[i] == turn)
            return static_cast<Orientation>(i + 1);
    return Orientation::Upright;
}

bool swapsSides(Orientation orientation)
{
    return static_cast<int>(orientation) >= static_cast<int>(Orientation::Transposed);
}

QSize turned(const QSize &size, Orientation orientation)
{
    return swapsSides(orientation) ? size.transposed() : size;
}

QImage upright(QImage stored, Orientation orientation)
{
    if (stored.isNull())
        return stored;
    switch (orientation) {
    case Orientation::Upright:
        return stored;
    case Orientation::MirroredHorizontally:
        stored.mirror(true, false);
        return stored;
    case Orientation::Rotated180:
        stored.mirror(true, true);
        return stored;
    case Orientation::MirroredVertically:
        stored.mirror(false, true);
        return stored;
    default:
        break;
    }
    // A quarter turn clockwise, then for the two diagonal mirrors a flip of the turned picture:
    // transposing is the clockwise turn mirrored left to right, the other diagonal the same
    // turn mirrored top to bottom.
    const bool clockwise = orientation != Orientation::RotatedLeft;
    QImage turnedImage = stored.transformed(QTransform().rotate(clockwise ? 90 : 270));
    stored = QImage(); // the stored picture is no longer needed before any mirror
    if (orientation == Orientation::Transposed)
        turnedImage.mirror(true, false);
    else if (orientation == Orientation::Transversed)
        turnedImage.mirror(false, true);
    return turnedImage;
}

} // namespace vistrel
