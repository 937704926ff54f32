#include "viewer/pictureheader.h"

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

// The upright size a JPEG's frame header gives, from its markers up to the first frame;
// empty when the head holds none.
QSize jpegSize(const QByteArray &head)
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
    PictureHeader header;
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return header;
    struct stat st = {};
    QByteArray head;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        head.resize(qMin<qsizetype>(headBytes, qsizetype(st.st_size)));
        const qint64 got =
            readAt(fd, reinterpret_cast<unsigned char *>(head.data()), head.size(), 0);
        head.resize(got > 0 ? qsizetype(got) : 0);
    }
    ::close(fd);
    if (head.size() < 4)
        return header;
    QSize size;
    header.jpeg = uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8;
    const BmpLayout bmp =
        header.jpeg ? BmpLayout()
                    : readBmpLayout(reinterpret_cast<const unsigned char *>(head.constData()),
                                    head.size(), qint64(st.st_size));
    if (header.jpeg) {
        size = jpegSize(head);
    } else if (bmp.valid) {
        header.bmpStreams = true;
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
