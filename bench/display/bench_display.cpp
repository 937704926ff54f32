// Decodes a picture as the viewing area does and reports the time and the peak memory above the
// program's idle size.
//   bench_display make PATH WIDTH HEIGHT   writes a photo-like JPEG of quality 90
//   bench_display fit PATH WIDTH HEIGHT    scale-to-fit display into WIDTH x HEIGHT
//   bench_display full PATH                actual-size display
//   bench_display step PATH1 PATH2 W H     the next picture after it was decoded ahead
//   bench_display pair A B W H RUNS       scale-to-fit of A and B in turn in one process (the
//                                          transforms cached, as when stepping through photos):
//                                          the median milliseconds of each
//   bench_display tag IN ICC OUT           IN with the ICC profile embedded (APP2 segments)

#include "common/fileidentity.h"
#include "viewer/picturecache.h"
#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using vistrel::LoadedPicture;
using vistrel::PictureLoader;

namespace {

long statusKb(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    long kb = 0;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            kb = std::atol(line + n + 1);
    std::fclose(f);
    return kb;
}

// Smooth colour fields with fine grain, so that the file compresses like a photograph.
int make(const char *path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const int grain = int(rng.bounded(24)) - 12;
            const int r = int(128 + 100 * std::sin(6.0 * fx + 2.0 * fy)) + grain;
            const int g = int(128 + 90 * std::cos(4.0 * fy - 3.0 * fx)) + grain;
            const int b = int(128 + 80 * std::sin(9.0 * fx * fy)) + grain;
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    QImageWriter writer(QString::fromLocal8Bit(path), "jpg");
    writer.setQuality(90);
    return writer.write(image) ? 0 : 1;
}

int display(const char *path, const QSize &area)
{
    const long idle = statusKb("VmHWM:");
    QElapsedTimer clock;
    clock.start();
    const LoadedPicture picture =
        PictureLoader::load(QFile::encodeName(QString::fromLocal8Bit(path)), area);
    QImage shown = picture.image;
    if (picture.ok() && area.isValid() && shown.size() != area)
        shown = shown.scaled(area, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const long peak = statusKb("VmHWM:");
    std::printf("error %d decoded %dx%d shown %dx%d in_process_ms %.1f peak_above_idle_mb %.1f\n",
                picture.error, picture.image.width(), picture.image.height(), shown.width(),
                shown.height(), ms, double(peak - idle) / 1024.0);
    return picture.ok() ? 0 : 2;
}

// One step to the next picture in scale-to-fit mode once the worker has decoded it ahead: what
// remains for the display is taking it and the smooth scale.
int step(const char *first, const char *second, const QSize &area)
{
    vistrel::PictureCache cache;
    const QByteArray a = QFile::encodeName(QString::fromLocal8Bit(first));
    const QByteArray b = QFile::encodeName(QString::fromLocal8Bit(second));
    cache.want({{a, area}});
    cache.waitIdle();
    cache.setShown({a, area});
    cache.want({{b, area}});
    cache.waitIdle();
    QElapsedTimer clock;
    clock.start();
    // The file looked at as the display looks at it, then the cache asked.
    const std::optional<LoadedPicture> picture =
        cache.find({b, area}, vistrel::FileIdentity::of(b));
    if (!picture || !picture->ok())
        return 2;
    const QImage shown =
        picture->image.scaled(area, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::printf("step_ms %.1f made_ahead %d shown %dx%d\n", double(clock.nsecsElapsed()) / 1e6,
                cache.hits(), shown.width(), shown.height());
    return 0;
}

int pair(const char *a, const char *b, const QSize &area, int runs)
{
    const QByteArray paths[2] = {QFile::encodeName(QString::fromLocal8Bit(a)),
                                 QFile::encodeName(QString::fromLocal8Bit(b))};
    std::vector<double> times[2];
    for (int run = 0; run <= runs; ++run)
        for (int i = 0; i < 2; ++i) {
            QElapsedTimer clock;
            clock.start();
            if (!PictureLoader::load(paths[i], area).ok())
                return 2;
            if (run > 0) // the first round warms the caches
                times[i].push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    for (std::vector<double> &t : times)
        std::sort(t.begin(), t.end());
    std::printf("median_ms %.1f %.1f\n", times[0][times[0].size() / 2],
                times[1][times[1].size() / 2]);
    return 0;
}

// The same compressed picture with a colour profile in APP2 segments after its start.
int tag(const char *in, const char *icc, const char *out)
{
    QFile source(QString::fromLocal8Bit(in)), profile(QString::fromLocal8Bit(icc));
    if (!source.open(QIODevice::ReadOnly) || !profile.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray jpeg = source.readAll(), bytes = profile.readAll();
    constexpr qsizetype piece = 65000;
    const int count = int((bytes.size() + piece - 1) / piece);
    QByteArray tagged = jpeg.left(2);
    for (int n = 0; n < count; ++n) {
        const QByteArray part = bytes.mid(n * piece, piece);
        const int length = int(2 + 14 + part.size());
        tagged += char(0xFF);
        tagged += char(0xE2);
        tagged += char(length >> 8);
        tagged += char(length & 0xFF);
        tagged += QByteArray("ICC_PROFILE", 12); // with its NUL
        tagged += char(n + 1);
        tagged += char(count);
        tagged += part;
    }
    tagged += jpeg.mid(2);
    QFile target(QString::fromLocal8Bit(out));
    return target.open(QIODevice::WriteOnly) && target.write(tagged) == tagged.size() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 5 && std::strcmp(argv[1], "fit") == 0)
        return display(argv[2], QSize(std::atoi(argv[3]), std::atoi(argv[4])));
    if (argc >= 6 && std::strcmp(argv[1], "step") == 0)
        return step(argv[2], argv[3], QSize(std::atoi(argv[4]), std::atoi(argv[5])));
    if (argc >= 7 && std::strcmp(argv[1], "pair") == 0)
        return pair(argv[2], argv[3], QSize(std::atoi(argv[4]), std::atoi(argv[5])),
                    std::max(1, std::atoi(argv[6])));
    if (argc >= 5 && std::strcmp(argv[1], "tag") == 0)
        return tag(argv[2], argv[3], argv[4]);
    if (argc >= 3 && std::strcmp(argv[1], "full") == 0)
        return display(argv[2], QSize());
    std::fprintf(stderr, "usage: bench_display make|fit|full|step|tag PATH... [WIDTH HEIGHT]\n");
    return 64;
}
