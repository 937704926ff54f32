#include "viewer/pictureheader.h"

#include <QBuffer>
#include <QImageReader>

#include <turbojpeg.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

// Enough for the frame header behind large metadata blocks in nearly every JPEG.
constexpr qsizetype headBytes = 256 * 1024;

struct TjDeleter
{
    void operator()(void *h) const { tjDestroy(h); }
};

QSize jpegSize(const QByteArray &head)
{
    std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (!handle ||
        tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char *>(head.constData()),
                            static_cast<unsigned long>(head.size()), &width, &height, &subsamp,
                            &colorspace) != 0)
        return {};
    return QSize(width, height);
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
        const ssize_t got = ::read(fd, head.data(), std::size_t(head.size()));
        head.resize(got > 0 ? qsizetype(got) : 0);
    }
    ::close(fd);
    if (head.size() < 3)
        return header;
    QSize size;
    if (uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8) {
        size = jpegSize(head);
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
