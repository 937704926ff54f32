#include "viewer/regiondecoder.h"

#include "common/openedfile.h"
#include "viewer/bmpdecoder.h"
#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/fileread.h"
#include "viewer/jpegregion.h"
#include "viewer/loadfailure.h"
#include "viewer/pictureheader.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vistrel {
namespace {

using namespace loadfailure;

LoadedPicture decodeBmpRegion(int fd, const BmpLayout &layout, const QRect &region,
                              const QByteArray &profile, const LoadLimits &limits)
{
    const QRect part = region & QRect(QPoint(0, 0), layout.size);
    if (part.isEmpty())
        return failure(LoadedPicture::Unreadable, QStringLiteral("not readable by region"));
    // The stored bytes that hold the columns asked for, and the first of them in those bytes.
    const qint64 firstByte = qint64(part.x()) * layout.bits / 8;
    const qint64 skip = qint64(part.x()) - firstByte * 8 / layout.bits;
    const qint64 bytes = (qint64(part.right() + 1) * layout.bits + 7) / 8 - firstByte;
    const qint64 rowBytes = bytes + qint64(part.width()) * 3;
    if (qint64(part.width()) * part.height() * 4 + rowBytes > limits.memoryBytes)
        return tooLarge(qint64(part.width()) * part.height() * 4 + rowBytes, limits.memoryBytes);
    QImage image(part.size(), QImage::Format_RGB32);
    std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[std::size_t(rowBytes)]);
    if (image.isNull() || !row)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the region"));
    unsigned char *pixels = row.get() + bytes;
    bool incomplete = false;
    for (int y = 0; y < part.height(); ++y) {
        if (limits.cancel && limits.cancel->load(std::memory_order_relaxed))
            return cancelled();
        const qint64 pictureRow = part.y() + y;
        const qint64 fileRow = layout.topDown ? pictureRow : layout.size.height() - 1 - pictureRow;
        const qint64 at = layout.dataOffset + fileRow * layout.stride + firstByte;
        const qint64 got = readAt(fd, row.get(), bytes, at);
        if (got < 0)
            return fromErrno(errno);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (got < bytes) { // the file shrank since its size was looked at
            incomplete = true;
            std::fill_n(out, part.width(), qRgb(0, 0, 0));
            continue;
        }
        bmpPixels(layout, row.get(), skip, part.width(), pixels);
        const unsigned char *in = pixels;
        for (int x = 0; x < part.width(); ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    if (!withFileColours(image, profile, StoredPixels::Rgb, limits))
        return cancelled();
    LoadedPicture p;
    p.fullSize = layout.size;
    p.incomplete = incomplete;
    p.image = std::move(image);
    return p;
}

} // namespace

bool RegionDecoder::handles(const QByteArray &nativePath)
{
    return readPictureHeader(nativePath).byRegion;
}

LoadedPicture RegionDecoder::decode(const QByteArray &nativePath, const QRect &region,
                                    const LoadLimits &limits)
{
    if (limits.cancel && limits.cancel->load(std::memory_order_relaxed))
        return cancelled();
    const OpenedFile file(nativePath);
    if (!file.isOpen())
        return fromErrno(file.error());
    if (!file.isRegular())
        return failure(LoadedPicture::Unreadable, QStringLiteral("is not a regular file"));
    const int fd = file.fd();
    const struct stat &st = file.status();
    LoadLimits bounded = limits;
    if (bounded.memoryBytes <= 0)
        bounded.memoryBytes = memoryBoundFloor;
    unsigned char head[bmpHeadBytes] = {};
    const qint64 got = readAt(fd, head, sizeof head, 0);
    if (got < 0)
        return fromErrno(errno);
    try {
        if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
            return decodeJpegRegion(fd, region, bounded);
        const BmpLayout bmp = readBmpLayout(head, got, qint64(st.st_size));
        if (bmp.valid)
            return decodeBmpRegion(fd, bmp, region, bmpProfile(fd, head, got, qint64(st.st_size)),
                                   bounded);
    } catch (const std::bad_alloc &) {
        return noMemoryLeft();
    }
    return failure(LoadedPicture::Unreadable, QStringLiteral("not readable by region"));
}

} // namespace vistrel
