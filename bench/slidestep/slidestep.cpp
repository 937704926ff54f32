// Steps a slide show tick by tick over a folder of 6000x4000 JPEGs and reports, per tick, the
// time from the tick to the picture painted in scale-to-fit mode. Last line: "median_ms <x>".
//
// The display here is a stand-in (a scaled read into a widget, painted at once); swap in the
// real picture display to measure what a user sees.

#include "slideshow/slideshow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
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

// Stand-in display: reads the picture scaled to the view and paints it before returning.
class View final : public QWidget, public SlideTarget
{
public:
    QStringList files;
    int current = 0;

    int count() const override { return int(files.size()); }
    void select(int index) override
    {
        QImageReader reader(files.at(index));
        reader.setScaledSize(viewSize);
        m_picture = reader.read();
        current = index;
        repaint();
    }
    int curslide() const override { return current; }
    void setCurslide(int index) override { current = index; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(rect(), m_picture);
    }

private:
    QImage m_picture;
};

class ManualTimer final : public SlideTimer
{
public:
    void start(int) override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    void fire() { emit timeout(); }

private:
    bool m_active = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::fprintf(stderr, "making %d pictures of %dx%d...\n", pictureCount, pictureSize.width(),
                 pictureSize.height());
    View view;
    for (int i = 0; i < pictureCount; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        makePicture(path, i);
        view.files.append(path);
    }
    view.resize(viewSize);
    view.show();
    QApplication::processEvents();

    ManualTimer timer;
    SlideShow show(view, &timer);
    show.setIntervalAsker([](int &interval) {
        interval = 1;
        return true;
    });
    show.toggleslideshow();

    std::vector<double> times;
    QElapsedTimer clock;
    for (int i = 0; i < ticks; ++i) {
        clock.start();
        timer.fire();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::printf("ticks %d, pictures %d\n", ticks, pictureCount);
    std::printf("best_ms %.1f\n", times.front());
    std::printf("worst_ms %.1f\n", times.back());
    std::printf("median_ms %.1f\n", times[times.size() / 2]);
    return 0;
}
