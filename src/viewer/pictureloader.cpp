#include "viewer/pictureloader.h"

#include "common/errortext.h"
#include "common/openedfile.h"
#include "viewer/bmpdecoder.h"
#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/fileread.h"
#include "viewer/gifscreen.h"
#include "viewer/jpegdecoder.h"
#include "viewer/loadfailure.h"
#include "viewer/pictureheader.h"

#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

namespace loadfailure {

LoadedPicture failure(int error, const QString &reason)
{
    LoadedPicture p;
    p.error = error;
    p.reason = reason;
    return p;
}

LoadedPicture fromErrno(int code)
{
    const QString reason = errorText(code);
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return failure(LoadedPicture::FileNotFound, reason);
    case EACCES:
    case EPERM:
        return failure(LoadedPicture::PermissionDenied, reason);
    case ENOMEM:
        return failure(LoadedPicture::OutOfMemory, reason);
    default:
        return failure(LoadedPicture::PathAccess, reason);
    }
}

LoadedPicture tooLarge(qint64 bytes, qint64 limit)
{
    const auto megabytes = [](qint64 b) { return QString::number((b + 999999) / 1000000); };
    return failure(LoadedPicture::OutOfMemory,
                   QStringLiteral("it needs %1 MB, more than the %2 MB one picture may use")
                       .arg(megabytes(bytes), megabytes(limit)));
}

LoadedPicture noMemoryLeft()
{
    return failure(LoadedPicture::OutOfMemory,
                   QStringLiteral("the system has no memory left for it"));
}

LoadedPicture cancelled()
{
    return failure(LoadedPicture::Cancelled, QStringLiteral("cancelled"));
}

} // namespace loadfailure

namespace {

using namespace loadfailure;

// The file as Qt's readers see it: read where they ask (they read only what they need, a BMP
// its header and rows, never the rest of a long file), every read failing once the load is
// cancelled, and a GIF's screen given as the size the picture is shown at (see GifScreen).
class ReaderFile : public QIODevice
{
public:
    ReaderFile(int fd, qint64 size, const std::atomic<bool> *cancel)
        : m_fd(fd), m_size(size), m_cancel(cancel)
    {}

    // The screen's width and height bytes replaced by `shown`.
    void setGifScreen(const QSize &shown)
    {
        const int w = shown.width(), h = shown.height();
        const char bytes[] = {char(w & 0xFF), char(w >> 8), char(h & 0xFF), char(h >> 8)};
        m_patch = QByteArray(bytes, sizeof bytes);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 pos) override
    {
        m_offset = pos;
        return QIODevice::seek(pos);
    }
    int readErrno() const { return m_errno; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_cancel && m_cancel->load(std::memory_order_relaxed))
            return -1;
        const qint64 got = readAt(m_fd, reinterpret_cast<unsigned char *>(data), maxSize, m_offset);
        if (got < 0) {
            m_errno = errno;
            return -1;
        }
        for (qint64 i = qMax<qint64>(m_offset, gifScreenAt);
             i < qMin(m_offset + got, gifScreenAt + qint64(m_patch.size())); ++i)
            data[i - m_offset] = m_patch[qsizetype(i - gifScreenAt)];
        m_offset += got;
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    static constexpr qint64 gifScreenAt = 6;
    int m_fd;
    qint64 m_size;
    const std::atomic<bool> *m_cancel;
    qint64 m_offset = 0;
    int m_errno = 0;
    QByteArray m_patch;
};

bool isAcceptedFormat(const QByteArray &format)
{
    static const QByteArray accepted[] = {"jpeg", "jpg", "gif", "bmp", "png", "webp"};
    for (const QByteArray &f : accepted)
        if (format == f)
            return true;
    return false;
}

bool isShownFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// Readers may decode into a wider format than the one they announce (GIF into 32 bits).
qint64 bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 4;
    return qMax(4, QImage::toPixelFormat(format).bitsPerPixel() / 8);
}

bool isCancelled(const LoadLimits &limits)
{
    return limits.cancel && limits.cancel->load(std::memory_order_relaxed);
}

// `stated` is the size the file's header gives as the program reads it (PictureHeader), judged
// before any reader is asked; a reader's own figure is only used where that is unknown.
LoadedPicture decodeWithQt(int fd, qint64 fileBytes, const QSize &stated, const QSize &atLeast,
                           const LoadLimits &limits)
{
    ReaderFile file(fd, fileBytes, limits.cancel);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failure(LoadedPicture::PathAccess, file.errorString());
    unsigned char head[64] = {};
    const GifScreen gif = readGifScreen(head, readAt(fd, head, sizeof head, 0));
    if (gif.valid && gif.shown() != gif.screen && stated == gif.shown())
        file.setGifScreen(gif.shown());
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    if (!isAcceptedFormat(reader.format()))
        return failure(LoadedPicture::Unreadable, QStringLiteral("not a picture format we read"));

    // The reader's picture, a converted copy when it is not in a shown format, and the reduced
    // copy: all within the limit, checked from the header before anything is allocated.
    const QSize size = stated.isValid() ? stated : reader.size();
    const QImage::Format format = reader.imageFormat();
    const bool reduce = atLeast.width() > 0 && atLeast.height() > 0;
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    if (size.isValid()) {
        qint64 needed = pixels * bytesPerPixel(format);
        if (!isShownFormat(format))
            needed += pixels * 4;
        if (reduce)
            needed += qint64(qMin(size.width(), atLeast.width())) *
                      qMin(size.height(), atLeast.height()) * 4;
        if (needed > limits.memoryBytes)
            return tooLarge(needed, limits.memoryBytes);
    }
    // With the size known, the check above is the bound and Qt's own limit would only refuse
    // pictures that fit it; readers that cannot tell their size up front get the bound as a
    // second guard.
    const qint64 megabytes = limits.memoryBytes >> 20;
    reader.setAllocationLimit(size.isValid() ? 0
                                             : int(qBound(qint64(1), megabytes, qint64(INT_MAX))));

    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        if (isCancelled(limits))
            return cancelled();
        if (file.readErrno() != 0)
            return fromErrno(file.readErrno());
        // Qt's readers refuse pictures above their own limits as if the file were damaged.
        if (pixels > readerPixelLimit)
            return failure(LoadedPicture::OutOfMemory,
                           QStringLiteral("at %1 x %2 it is larger than its reader can decode")
                               .arg(size.width())
                               .arg(size.height()));
        // Readers report a picture they found no memory for like a damaged one: ask
        // for that memory once more to tell the two apart.
        if (size.isValid() &&
            QImage(size, isShownFormat(format) ? format : QImage::Format_RGB32).isNull())
            return noMemoryLeft();
        return failure(LoadedPicture::Unreadable, reader.errorString());
    }
    LoadedPicture p;
    p.fullSize = image.size();
    const QSize shown = reduce ? image.size().boundedTo(atLeast) : image.size();
    if (shown != image.size())
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!isShownFormat(image.format()))
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    if (image.isNull())
        return noMemoryLeft();
    p.image = std::move(image);
    return p;
}

bool startsLikeJpeg(const unsigned char *head, ssize_t length)
{
    return length >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

// A BMP's or GIF's own profile applied to the decoded (maybe reduced) picture.
LoadedPicture withOwnColours(LoadedPicture p, int fd, const unsigned char *head, qint64 length,
                             qint64 fileBytes, ColourTarget colours, const LoadLimits &limits)
{
    if (!p.ok())
        return p;
    QByteArray icc;
    if (length >= 2 && head[0] == 'B' && head[1] == 'M')
        icc = bmpProfile(fd, head, length, fileBytes);
    else if (length >= 4 && std::memcmp(head, "GIF8", 4) == 0)
        icc = gifProfile(fd, fileBytes);
    if (!icc.isEmpty() && convertColours(p.image, icc, StoredPixels::Rgb, colours, limits.cancel) ==
                              Conversion::Cancelled)
        return cancelled();
    return p;
}

} // namespace

qint64 availableMemory()
{
    // The kernel makes the text as it is read: the file's size is 0 and it seems at its end
    // right after opening, so it is read until a read gives nothing.
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    QByteArray text;
    char chunk[4096];
    for (qint64 n = 0; (n = meminfo.read(chunk, sizeof chunk)) > 0 && text.size() < (1 << 20);)
        text.append(chunk, qsizetype(n));
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            return fields.size() >= 2 ? qMax(qint64(0), fields[1].toLongLong() * 1024) : 0;
        }
    }
    return 0;
}

namespace {

// Opened without blocking so that a FIFO or device named like a picture cannot hang the
// display; anything but a non-empty regular file is no picture. Read, never mapped: a file
// truncated under a mapping would kill the program on access.
LoadedPicture loadFile(const QByteArray &nativePath, const QSize &atLeast, bool largest,
                       LoadLimits limits)
{
    if (isCancelled(limits))
        return cancelled();
    const OpenedFile file(nativePath);
    if (!file.isOpen())
        return fromErrno(file.error());
    if (file.isFolder())
        return failure(LoadedPicture::Unreadable, QStringLiteral("is a folder"));
    if (!file.isRegular())
        return failure(LoadedPicture::Unreadable, QStringLiteral("is not a regular file"));
    const int fd = file.fd();
    const struct stat &st = file.status();
    if (limits.memoryBytes <= 0)
        limits.memoryBytes = memoryBoundFor(qint64(st.st_size));
    unsigned char head[bmpHeadBytes] = {};
    const qint64 got = readAt(fd, head, sizeof head, 0);
    if (got < 0)
        return fromErrno(errno);
    if (got == 0)
        return failure(LoadedPicture::Unreadable, QStringLiteral("the file is empty"));

    // Printing takes sRGB; the screen the display's colours.
    const ColourTarget colours = largest ? ColourTarget::Srgb : limits.colours;
    try {
        if (startsLikeJpeg(head, got))
            return decodeJpeg(fd, {atLeast, largest, limits, colours});
        const BmpLayout bmp = readBmpLayout(head, got, qint64(st.st_size));
        const QSize size = largest ? QSize() : atLeast;
        return withOwnColours(bmp.valid
                                  ? decodeBmp(fd, bmp, size, limits)
                                  : decodeWithQt(fd, qint64(st.st_size),
                                                 readPictureHeader(fd, st).size, size, limits),
                              fd, head, got, qint64(st.st_size), colours, limits);
    } catch (const std::bad_alloc &) {
        return noMemoryLeft();
    }
}

} // namespace

qint64 memoryBoundFor(qint64 fileBytes)
{
    constexpr qint64 bytesPerFileByte = 2048;
    const qint64 plausible = fileBytes > (qint64(1) << 52) / bytesPerFileByte
                                 ? qint64(1) << 52
                                 : fileBytes * bytesPerFileByte;
    return qMax(memoryBoundFloor, qMin(plausible, availableMemory() / 2));
}

LoadedPicture PictureLoader::load(const QByteArray &nativePath, const QSize &atLeast,
                                  const LoadLimits &limits)
{
    return loadFile(nativePath, atLeast, false, limits);
}

LoadedPicture PictureLoader::loadWithinBudget(const QByteArray &nativePath,
                                              const LoadLimits &limits)
{
    LoadLimits bounded = limits;
    if (bounded.memoryBytes <= 0)
        bounded.memoryBytes = memoryBoundFloor;
    return loadFile(nativePath, {}, true, bounded);
}

} // namespace vistrel
