// Steps a slide show tick by tick over a folder of 6000x4000 JPEGs and reports, per tick, the
// time from the tick to the picture painted in scale-to-fit mode, first with 250 ms between
// ticks, then with ticks back to back. Last line: "median_ms <x>" (250 ms apart).
//
// It drives the real main window: the show's tick selects the next entry, the event loop runs
// until the viewing area holds another picture than before the tick (at once when the display
// shows it inside the tick), and the window is painted before the time is taken. Between ticks
// the event loop runs for a short while, as it would during a real interval, so that pictures
// can be decoded ahead; back to back, the next tick follows the paint at once.

#include "app/mainwindow.h"
#include "browse/picturelistmodel.h"
#include "slideshow/slideshow.h"
#include "viewer/pictureview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vistrel;

namespace {

constexpr int pictureCount = 30;
constexpr int ticks = 60;
const QSize pictureSize(6000, 4000);
const QSize viewSize(1000, 700);

// A picture with enough detail that the JPEG is not trivially small.
void makePicture(const QString &path, int seed)
{
    QImage image(pictureSize, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, pictureSize.width(), pictureSize.height());
    g.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 200, 230));
    g.setColorAt(1, QColor::fromHsv((seed * 37 + 180) % 360, 180, 90));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 400; ++i)
        p.fillRect((i * 7919 + seed * 104729) % pictureSize.width(),
                   (i * 6007 + seed * 1301) % pictureSize.height(), 200, 120,
                   QColor::fromHsv((i * 13 + seed) % 360, 150, 200));
    p.end();
    // Grain like a photo's, so the file carries about as much detail as a real one.
    quint32 state = 2654435761u * quint32(seed + 1);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int d = int(state >> 27) - 16;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    image.save(path, "JPEG", 90);
}

} // namespace

void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::fprintf(stderr, "making %d pictures of %dx%d...\n", pictureCount, pictureSize.width(),
                 pictureSize.height());
    const QString folder = dir.filePath(QStringLiteral("pictures"));
    QDir().mkpath(folder);
    for (int i = 0; i < pictureCount; ++i)
        makePicture(folder + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QLatin1Char('0')), i);

    // Window size for a viewing area of about 1000x700 (twips, 15 to a pixel).
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings store(ini, QSettings::IniFormat);
        store.beginGroup(QStringLiteral("Settings"));
        store.setValue(QStringLiteral("LastDir"), folder);
        store.setValue(QStringLiteral("MainWidth"), QString::number((1000 + 206) * 15));
        store.setValue(QStringLiteral("MainHeight"), QString::number((700 + 146) * 15));
        store.endGroup();
    }
    MainWindow window(ini);
    window.Form_Load();
    window.show();
    runEvents(300);
    const QSize area = window.viewingArea()->size();

    SlideShow *show = window.slideShow();
    show->setIntervalAsker([](int &interval) {
        interval = 0; // started, never ticks by itself: the ticks are driven below
        return true;
    });
    show->toggleslideshow();
    runEvents(300);

    const StretchedImage *image1 = window.viewingArea()->image1();
    const auto measure = [&](int gapMs) {
        std::vector<double> times;
        QElapsedTimer clock;
        for (int i = 0; i < ticks; ++i) {
            const qint64 before = image1->picture().cacheKey();
            clock.start();
            show->slidetimer_Timer();
            while (image1->picture().cacheKey() == before && clock.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 1);
            window.viewingArea()->repaint();
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (gapMs > 0)
                runEvents(gapMs);
        }
        std::sort(times.begin(), times.end());
        return times;
    };
    const std::vector<double> spaced = measure(250);
    const std::vector<double> packed = measure(0);
    std::printf("viewing area %dx%d, ticks %d, pictures %d\n", area.width(), area.height(), ticks,
                pictureCount);
    std::printf("back to back: best_ms %.1f median_ms %.1f worst_ms %.1f\n", packed.front(),
                packed[packed.size() / 2], packed.back());
    std::printf("250 ms apart: best_ms %.1f median_ms %.1f worst_ms %.1f\n", spaced.front(),
                spaced[spaced.size() / 2], spaced.back());
    std::printf("back_to_back_median_ms %.1f\n", packed[packed.size() / 2]);
    std::printf("median_ms %.1f\n", spaced[spaced.size() / 2]);
    return 0;
}
