#include "viewer/pictureheader.h"

#include "common/openedfile.h"
#include "viewer/bmpdecoder.h"
#include "viewer/fileread.h"
#include "viewer/gifscreen.h"
#include "viewer/orientation.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

// The first read of a file; a JPEG's segments beyond it are passed over by seeking.
constexpr qsizetype headBytes = 64 * 1024;
// A JPEG's walk to its frame header reads at most this many segments and bytes, however the
// file is made: real files have a few dozen segments before the frame.
constexpr int maxSegments = 10000;
constexpr qint64 maxBytesRead = 16LL << 20;

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

// The file seen through a window read where it is needed, so that the contents of segments
// passed over are never read.
class Window
{
public:
    Window(int fd, QByteArray head) : m_fd(fd), m_data(std::move(head)) {}

    // The bytes from `offset` on: at least `count` of them unless the file ends first (then
    // `available` says how many); null when they cannot be read or the read bound is spent.
    const uchar *at(qint64 offset, qsizetype count, qsizetype *available)
    {
        if (offset < m_base || offset + count > m_base + m_data.size()) {
            const qsizetype want = qMax<qsizetype>(count, 4096);
            m_spent += want;
            if (m_spent > maxBytesRead)
                return nullptr;
            m_data.resize(want);
            const qint64 got =
                readAt(m_fd, reinterpret_cast<unsigned char *>(m_data.data()), want, offset);
            m_data.resize(got > 0 ? qsizetype(got) : 0);
            m_base = offset;
        }
        *available = qsizetype(m_base + m_data.size() - offset);
        return *available > 0
                   ? reinterpret_cast<const uchar *>(m_data.constData()) + (offset - m_base)
                   : nullptr;
    }

private:
    int m_fd;
    QByteArray m_data;
    qint64 m_base = 0;
    qint64 m_spent = 0;
};

// The upright size a JPEG's frame header gives, walking its segments by their lengths up to the
// first frame wherever it lies; empty when there is none. Also the coefficients its decoder
// holds and whether it can be read by region.
QSize jpegSize(Window &file, qint64 *coefficients, bool *byRegion)
{
    Orientation orientation = Orientation::Upright;
    bool exifSeen = false;
    qint64 i = 2;
    qsizetype n = 0;
    for (int segments = 0; segments < maxSegments; ++segments) {
        const uchar *p = file.at(i, 4, &n);
        if (!p || n < 4 || p[0] != 0xFF)
            return {};
        const uchar marker = p[1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        const qsizetype length = (qsizetype(p[2]) << 8) | p[3];
        if (length < 2 || marker == 0xDA) // a scan before any frame
            return {};
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            p = file.at(i, 2 + length, &n);
            if (!p || n < 9)
                return {};
            *coefficients = coefficientBytes(p, n);
            *byRegion = (marker == 0xC0 || marker == 0xC1) && orientation == Orientation::Upright &&
                        n >= 10 && (p[9] == 1 || p[9] == 3);
            return turned(QSize((int(p[7]) << 8) | p[8], (int(p[5]) << 8) | p[6]), orientation);
        }
        // The first EXIF segment's orientation, as the decoder takes it; other segments are
        // passed over unread.
        if (marker == 0xE1 && !exifSeen && (p = file.at(i, 10, &n)) && n >= 10 &&
            std::memcmp(p + 4, "Exif\0\0", 6) == 0) {
            exifSeen = true;
            p = file.at(i, 2 + length, &n);
            if (p && n >= 10)
                orientation = exifOrientation(p + 4, std::size_t(qMin(length - 2, n - 4)));
        }
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
    const auto *bytes = reinterpret_cast<const unsigned char *>(head.constData());
    header.jpeg = bytes[0] == 0xFF && bytes[1] == 0xD8;
    const BmpLayout bmp =
        header.jpeg ? BmpLayout() : readBmpLayout(bytes, head.size(), qint64(st.st_size));
    const GifScreen gif = header.jpeg ? GifScreen() : readGifScreen(bytes, head.size());
    if (header.jpeg) {
        Window file(fd, head);
        size = jpegSize(file, &header.coefficientBytes, &header.byRegion);
    } else if (bmp.valid) {
        header.bmpStreams = true;
        header.byRegion = true;
        size = bmp.size;
    } else if (gif.valid) {
        size = gif.shown();
    } else if (bytes[0] == 'B' && bytes[1] == 'M') {
        // Any other BMP: its size as stated, whatever Qt's reader thinks of it.
        size = bmpStatedSize(bytes, head.size(), qint64(st.st_size));
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
