// The picture loading path with its limits: any bytes under each picture extension load or fail
// with one of the display's error classes, never crash, and never give an image beyond the
// memory limit. The same bytes as the orientation block of a good JPEG never make it unreadable:
// the picture comes out as stored or turned a quarter.

#include "fuzzcheck.h"
#include "viewer/pictureloader.h"
#include "viewer/regiondecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace vistrel;

namespace {

void writeFile(const std::string &path, const char *data, std::size_t size)
{
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

// A 16x8 JPEG, made once.
const QByteArray &goodJpeg()
{
    static const QByteArray bytes = [] {
        QImage image(16, 8, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpg").write(image);
        return out;
    }();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string base = "/dev/shm/vistrel-fuzz-" + std::to_string(::getpid());
    LoadLimits limits;
    limits.memoryBytes = 16 * 1024 * 1024;
    for (const char *ext : {".jpg", ".gif", ".bmp"}) {
        const std::string path = base + ext;
        writeFile(path, reinterpret_cast<const char *>(data), size);
        const QByteArray native(path.c_str());
        for (const QSize &atLeast : {QSize(), QSize(64, 48)}) {
            const LoadedPicture p = PictureLoader::load(native, atLeast, limits);
            if (p.ok()) {
                FUZZ_CHECK(!p.image.isNull());
                FUZZ_CHECK(p.image.sizeInBytes() <= limits.memoryBytes);
            } else {
                FUZZ_CHECK(p.error == LoadedPicture::Unreadable ||
                           p.error == LoadedPicture::OutOfMemory ||
                           p.error == LoadedPicture::PathAccess);
            }
        }
        // A tile at the picture's corner and one far inside whatever size it claims.
        for (const QRect &tile : {QRect(0, 0, 64, 48), QRect(30000, 20000, 512, 512)}) {
            const LoadedPicture p = RegionDecoder::decode(native, tile, limits);
            if (p.ok())
                FUZZ_CHECK(p.image.width() <= tile.width() && p.image.height() <= tile.height());
            else
                FUZZ_CHECK(p.error == LoadedPicture::Unreadable ||
                           p.error == LoadedPicture::OutOfMemory ||
                           p.error == LoadedPicture::PathAccess);
        }
        std::remove(path.c_str());
    }

    // The bytes as the body of an EXIF segment right after the start of a good JPEG.
    QByteArray segment("Exif\0\0", 6);
    segment.append(reinterpret_cast<const char *>(data), qsizetype(qMin<std::size_t>(size, 65000)));
    QByteArray jpeg = goodJpeg().left(2);
    jpeg.append("\xFF\xE1", 2);
    jpeg.append(char((segment.size() + 2) >> 8));
    jpeg.append(char((segment.size() + 2) & 0xFF));
    jpeg.append(segment);
    jpeg.append(goodJpeg().mid(2));
    const std::string path = base + "-exif.jpg";
    writeFile(path, jpeg.constData(), std::size_t(jpeg.size()));
    const LoadedPicture p = PictureLoader::load(QByteArray(path.c_str()), {}, limits);
    FUZZ_CHECK(p.ok());
    FUZZ_CHECK(p.image.size() == QSize(16, 8) || p.image.size() == QSize(8, 16));
    FUZZ_CHECK(p.fullSize == p.image.size());
    std::remove(path.c_str());
    return 0;
}
