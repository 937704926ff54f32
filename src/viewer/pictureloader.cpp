#include "viewer/pictureloader.h"

#include <QBuffer>
#include <QImageReader>

#include <turbojpeg.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {
namespace {

LoadedPicture failure(int error, const QString &reason)
{
    LoadedPicture p;
    p.error = error;
    p.reason = reason;
    return p;
}

LoadedPicture fromErrno(int code)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(code));
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

QString megapixels(qint64 pixels)
{
    return QString::number(double(pixels) / 1e6, 'f', 1);
}

LoadedPicture tooLarge(qint64 pixels, qint64 budget)
{
    return failure(LoadedPicture::OutOfMemory,
                   QStringLiteral("needs %1 megapixels, more than the %2 allowed")
                       .arg(megapixels(pixels), megapixels(budget)));
}

// Reads the whole file. Opened without blocking so that a FIFO or device named like a picture
// cannot hang the display; anything but a regular file is no picture.
LoadedPicture readFile(const QByteArray &nativePath, QByteArray &data)
{
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fromErrno(errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return fromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return failure(LoadedPicture::Unreadable, QStringLiteral("is a folder"));
    if (!S_ISREG(st.st_mode))
        return failure(LoadedPicture::Unreadable, QStringLiteral("is not a regular file"));
    if (st.st_size == 0)
        return failure(LoadedPicture::Unreadable, QStringLiteral("the file is empty"));
    if (st.st_size > PictureLoader::maxFileBytes)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("the file is too long"));

    data.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, std::size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fromErrno(errno);
        if (n == 0)
            break; // shrank while being read: decode what there is
        got += n;
    }
    data.resize(got);
    if (data.isEmpty())
        return failure(LoadedPicture::Unreadable, QStringLiteral("the file is empty"));
    return {};
}

// An image buffer for the decoder. Large ones ask for huge pages: filling a fresh 100 MB buffer
// otherwise costs tens of thousands of page faults, a good part of a full decode.
QImage allocateImage(int width, int height)
{
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    const std::size_t bytesPerLine = std::size_t(width) * 4;
    const std::size_t length = bytesPerLine * std::size_t(height);
    if (length < 4 * hugePage)
        return QImage(width, height, QImage::Format_RGB32);
    const std::size_t rounded = (length + hugePage - 1) / hugePage * hugePage;
    void *memory = std::aligned_alloc(hugePage, rounded);
    if (!memory)
        return {};
    ::madvise(memory, rounded, MADV_HUGEPAGE);
    return QImage(static_cast<uchar *>(memory), width, height, qsizetype(bytesPerLine),
                  QImage::Format_RGB32, std::free, memory);
}

bool isJpeg(const QByteArray &data)
{
    return data.size() >= 3 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xD8 &&
           uchar(data[2]) == 0xFF;
}

// Whether any entropy-coded data follows the first start-of-scan header: without it, a decode
// "succeeds" with nothing but grey.
bool hasScanData(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    for (qsizetype i = 2; i + 3 < n; ++i) {
        if (p[i] == 0xFF && p[i + 1] == 0xDA) {
            const qsizetype length = (qsizetype(p[i + 2]) << 8) | p[i + 3];
            return i + 2 + length < n;
        }
    }
    return false;
}

struct TjDeleter
{
    void operator()(void *h) const { tjDestroy(h); }
};

enum class Reduce { ToAtLeast, ToBudget };

// Pixels a reduced decode may always use (64 MB), whatever the area it fills.
constexpr qint64 reducedPixelFloor = 16LL * 1024 * 1024;

// Returns false (and leaves result untouched) when the picture is a JPEG the turbo decoder does
// not convert (CMYK): the caller then hands it to QImageReader.
bool decodeJpeg(const QByteArray &data, Reduce mode, const QSize &atLeast, qint64 budget,
                LoadedPicture &result)
{
    std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    if (!handle) {
        result = failure(LoadedPicture::OutOfMemory, QStringLiteral("no decoder"));
        return true;
    }
    auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const auto length = static_cast<unsigned long>(data.size());
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), bytes, length, &width, &height, &subsamp, &colorspace) !=
            0 ||
        width <= 0 || height <= 0) {
        result = failure(LoadedPicture::Unreadable,
                         QString::fromLocal8Bit(tjGetErrorStr2(handle.get())));
        return true;
    }
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return false;

    // Scaling factors come largest first; keep the last one that still satisfies the mode.
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    tjscalingfactor chosen = {1, 1};
    const bool reduce = mode == Reduce::ToBudget || (atLeast.width() > 0 && atLeast.height() > 0);
    for (int i = 0; reduce && factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom)
            continue;
        const qint64 sw = TJSCALED(width, f);
        const qint64 sh = TJSCALED(height, f);
        if (mode == Reduce::ToAtLeast) {
            if (sw >= atLeast.width() && sh >= atLeast.height())
                chosen = f;
        } else if (sw * sh <= budget) {
            chosen = f;
            break;
        }
    }
    const int sw = TJSCALED(width, chosen);
    const int sh = TJSCALED(height, chosen);
    result.fullSize = QSize(width, height);
    // A reduced decode needs at most a few times the area it fills, unless the picture is more
    // than eight times larger than that area: a header claiming such a size is refused rather
    // than decoded into a buffer it cannot need.
    if (mode == Reduce::ToAtLeast && reduce)
        budget =
            qMin(budget, qMax(reducedPixelFloor, 4 * qint64(atLeast.width()) * atLeast.height()));
    if (qint64(sw) * sh > budget) {
        const QSize full = result.fullSize;
        result = tooLarge(qint64(sw) * sh, budget);
        result.fullSize = full;
        return true;
    }

    QImage image = allocateImage(sw, sh);
    if (image.isNull()) {
        result = failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the picture"));
        return true;
    }
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    const int pixelFormat = TJPF_XRGB;
#else
    const int pixelFormat = TJPF_BGRX;
#endif
    if (tjDecompress2(handle.get(), bytes, length, image.bits(), sw, int(image.bytesPerLine()), sh,
                      pixelFormat, 0) != 0) {
        // A warning (typically data ending early) still leaves a picture decoded as far as the
        // data went; a fatal error, or no scan data at all, leaves nothing worth showing.
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING || !hasScanData(data)) {
            const QSize full = result.fullSize;
            result = failure(LoadedPicture::Unreadable,
                             QString::fromLocal8Bit(tjGetErrorStr2(handle.get())));
            result.fullSize = full;
            return true;
        }
        result.incomplete = true;
    }
    result.image = std::move(image);
    return true;
}

bool isAcceptedFormat(const QByteArray &format)
{
    static const QByteArray accepted[] = {"jpeg", "jpg", "gif", "bmp", "png", "webp"};
    for (const QByteArray &f : accepted)
        if (format == f)
            return true;
    return false;
}

LoadedPicture decodeWithQt(const QByteArray &bytes, qint64 budget)
{
    QByteArray data = bytes; // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!isAcceptedFormat(reader.format()))
        return failure(LoadedPicture::Unreadable, QStringLiteral("not a picture format we read"));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > budget) {
        LoadedPicture p = tooLarge(qint64(size.width()) * size.height(), budget);
        p.fullSize = size;
        return p;
    }
    // A second guard for readers that cannot tell their size up front.
    reader.setAllocationLimit(int(budget * 4 / (1024 * 1024)) + 1);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return failure(LoadedPicture::Unreadable, reader.errorString());
    LoadedPicture p;
    p.fullSize = image.size();
    p.image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                      : image.convertToFormat(QImage::Format_RGB32);
    return p;
}

LoadedPicture loadImpl(const QByteArray &nativePath, Reduce mode, const QSize &atLeast,
                       qint64 budget)
{
    // Read, not mapped: a file truncated under a mapping would kill the program on access.
    QByteArray data;
    LoadedPicture read = readFile(nativePath, data);
    if (!read.ok())
        return read;
    if (isJpeg(data)) {
        LoadedPicture p;
        if (decodeJpeg(data, mode, atLeast, budget, p))
            return p;
    }
    return decodeWithQt(data, budget);
}

} // namespace

LoadedPicture PictureLoader::load(const QByteArray &nativePath, const QSize &atLeast,
                                  qint64 pixelBudget)
{
    return loadImpl(nativePath, Reduce::ToAtLeast, atLeast, pixelBudget);
}

LoadedPicture PictureLoader::loadWithinBudget(const QByteArray &nativePath, qint64 pixelBudget)
{
    return loadImpl(nativePath, Reduce::ToBudget, {}, pixelBudget);
}

} // namespace vistrel
