// The picture loading path with its size guards: any bytes under each picture extension load
// or fail with one of the display's error classes, never crash, and never give an image beyond
// the pixel budget.

#include "fuzzcheck.h"
#include "viewer/pictureloader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string base = "/dev/shm/vistrel-fuzz-" + std::to_string(::getpid());
    constexpr qint64 budget = 4 * 1024 * 1024;
    for (const char *ext : {".jpg", ".gif", ".bmp"}) {
        const std::string path = base + ext;
        if (FILE *f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
        }
        const QByteArray native(path.c_str());
        for (const QSize &atLeast : {QSize(), QSize(64, 48)}) {
            const LoadedPicture p = PictureLoader::load(native, atLeast, budget);
            if (p.ok()) {
                FUZZ_CHECK(!p.image.isNull());
                FUZZ_CHECK(qint64(p.image.width()) * p.image.height() <= budget);
            } else {
                FUZZ_CHECK(p.error == LoadedPicture::Unreadable ||
                           p.error == LoadedPicture::OutOfMemory ||
                           p.error == LoadedPicture::PathAccess);
            }
        }
        std::remove(path.c_str());
    }
    return 0;
}
