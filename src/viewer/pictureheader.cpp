#include "viewer/pictureheader.h"

#include "common/openedfile.h"
#include "viewer/bmpdecoder.h"
#include "viewer/fileread.h"
#include "viewer/orientation.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

// Enough for the frame header behind large metadata blocks in nearly every JPEG.
constexpr qsizetype headBytes = 256 * 1024;

// Bytes of coefficients a decoder keeps for the whole picture when the frame (SOF2, SOF6,
// SOF10, SOF14) is progressive: 128 for each 8 x 8 block of each component.
qint64 coefficientBytes(const uchar *frame, qsizetype available)
{
    const uchar marker = frame[1];
    if (marker != 0xC2 && marker != 0xC6 && marker != 0xCA && marker != 0xCE)
        return 0;
    if (available < 10)
        return 0;
    const qint64 height = (qint64(frame[5]) << 8) | frame[6];
    const qint64 width = (qint64(frame[7]) << 8) | frame[8];
    const int components = frame[9];
    if (available < 10 + 3 * components)
        return 0;
    int hMax = 1, vMax = 1;
    for (int c = 0; c < components; ++c) {
        hMax = qMax(hMax, frame[11 + 3 * c] >> 4);
        vMax = qMax(vMax, frame[11 + 3 * c] & 15);
    }
    qint64 bytes = 0;
    for (int c = 0; c < components; ++c) {
        const int h = qMax(1, frame[11 + 3 * c] >> 4);
        const int v = qMax(1, frame[11 + 3 * c] & 15);
        const qint64 columns = (width * h + 8 * hMax - 1) / (8 * hMax) + h;
        const qint64 rows = (height * v + 8 * vMax - 1) / (8 * vMax) + v;
        bytes += columns * rows * 128;
    }
    return bytes;
}

// The upright size a JPEG's frame header gives, from its markers up to the first frame;
// empty when the head holds none. Also the coefficients its decoder holds.
QSize jpegSize(const QByteArray &head, qint64 *coefficients, bool *byRegion)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    const qsizetype n = head.size();
    Orientation orientation = Orientation::Upright;
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF)
            return {};
        const uchar marker = p[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        const qsizetype length = (qsizetype(p[i + 2]) << 8) | p[i + 3];
        if (length < 2 || marker == 0xDA) // a scan before any frame
            return {};
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (i + 9 > n)
                return {};
            *coefficients = coefficientBytes(p + i, n - i);
            *byRegion = (marker == 0xC0 || marker == 0xC1) && orientation == Orientation::Upright &&
                        i + 10 <= n && (p[i + 9] == 1 || p[i + 9] == 3);
            return turned(QSize((int(p[i + 7]) << 8) | p[i + 8], (int(p[i + 5]) << 8) | p[i + 6]),
                          orientation);
        }
        if (marker == 0xE1 && i + 10 <= n && std::memcmp(p + i + 4, "Exif\0\0", 6) == 0)
            orientation = exifOrientation(p + i + 4, std::size_t(qMin(length - 2, n - i - 4)));
        i += 2 + length;
    }
    return {};
}

} // namespace

PictureHeader readPictureHeader(const QByteArray &nativePath)
{
    const OpenedFile file(nativePath);
    return file.isOpen() ? readPictureHeader(file.fd(), file.status()) : PictureHeader();
}

PictureHeader readPictureHeader(int fd, const struct stat &st)
{
    PictureHeader header;
    QByteArray head;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        head.resize(qMin<qsizetype>(headBytes, qsizetype(st.st_size)));
        const qint64 got =
            readAt(fd, reinterpret_cast<unsigned char *>(head.data()), head.size(), 0);
        head.resize(got > 0 ? qsizetype(got) : 0);
    }
    if (head.size() < 4)
        return header;
    QSize size;
    header.jpeg = uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8;
    const BmpLayout bmp =
        header.jpeg ? BmpLayout()
                    : readBmpLayout(reinterpret_cast<const unsigned char *>(head.constData()),
                                    head.size(), qint64(st.st_size));
    if (header.jpeg) {
        size = jpegSize(head, &header.coefficientBytes, &header.byRegion);
    } else if (bmp.valid) {
        header.bmpStreams = true;
        header.byRegion = true;
        size = bmp.size;
    } else {
        QBuffer buffer(&head);
        buffer.open(QIODevice::ReadOnly);
        size = QImageReader(&buffer).size();
    }
    header.valid = size.width() > 0 && size.height() > 0;
    header.size = size;
    header.fileBytes = qint64(st.st_size);
    return header;
}

} // namespace vistrel
