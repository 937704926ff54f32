// What the viewing area shows after the window grows, in the real main window (offscreen).
//   bench_sharpness PICTURE OUT_DIR
// Shows PICTURE scaled to fit in a window of the smallest size, then grows the window in 20
// steps (as a drag does, each step laid out and painted before the next) to a large size, lets
// the program settle for up to 2 s, and saves what Image1 shows as OUT_DIR/grown.png. Then
// shows the picture afresh at that size and saves OUT_DIR/fresh.png. Prints the viewing area's
// size ("area W H"), the median and worst time of one resize step, and how long after the last
// step the shown picture last changed.

#include "app/mainwindow.h"
#include "browse/picturelistmodel.h"
#include "viewer/pictureview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vistrel;

namespace {

void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_sharpness PICTURE OUT_DIR\n");
        return 64;
    }
    const QFileInfo picture(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings store(settingsFile, QSettings::IniFormat);
        store.beginGroup(QStringLiteral("Settings"));
        store.setValue(QStringLiteral("LastDir"), picture.absolutePath());
        store.setValue(QStringLiteral("Toolbar3"), QStringLiteral("1")); // scale to fit
        store.endGroup();
    }
    MainWindow window(settingsFile);
    window.Form_Load();
    window.show();
    runEvents(200);
    PictureView *view = window.viewingArea();
    StretchedImage *image1 = view->image1();
    window.findChild<PictureListModel *>()->setListIndex(0);
    runEvents(1000);
    const QSize small = window.size();
    const QSize large(1500, 1100);

    std::vector<double> steps;
    QElapsedTimer clock;
    constexpr int stepCount = 20;
    for (int i = 1; i <= stepCount; ++i) {
        const QSize s = small + (large - small) * i / stepCount;
        clock.start();
        window.resize(s);
        window.repaint();
        steps.push_back(double(clock.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    // Settle: note when the picture Image1 holds last changed.
    qint64 key = image1->picture().cacheKey();
    double changed = 0;
    clock.start();
    while (clock.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (image1->picture().cacheKey() != key) {
            key = image1->picture().cacheKey();
            changed = double(clock.nsecsElapsed()) / 1e6;
        }
    }
    image1->grab().toImage().save(out + QStringLiteral("/grown.png"));
    const QSize area = image1->size();

    // The same picture shown afresh at this size.
    window.findChild<PictureListModel *>()->setListIndex(-1);
    window.findChild<PictureListModel *>()->setListIndex(0);
    runEvents(1500);
    image1->grab().toImage().save(out + QStringLiteral("/fresh.png"));

    std::sort(steps.begin(), steps.end());
    std::printf("area %d %d\n", area.width(), area.height());
    std::printf("resize_step_median_ms %.1f\n", steps[steps.size() / 2]);
    std::printf("resize_step_worst_ms %.1f\n", steps.back());
    std::printf("sharp_after_ms %.0f\n", changed);
    return 0;
}
