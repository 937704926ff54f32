// A slide show of two hours at one picture a second over 200 pictures, driven tick by tick:
// resident memory may not keep growing with the pictures shown.

#include "testutils.h"
#include "windowsession.h"

#include "browse/foldertree.h"
#include "slideshow/slideshow.h"
#include "viewer/picturedisplay.h"

#include <QColor>
#include <QImage>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>

using namespace vistrel;
using namespace vistrel::test;

namespace {

// Resident pages of this process, in kilobytes.
long residentKb()
{
    long pages = 0;
    long resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

} // namespace

class TestSlideMemory : public QObject
{
    Q_OBJECT

private slots:
    void twoHourShowKeepsMemoryFlat();
};

void TestSlideMemory::twoHourShowKeepsMemoryFlat()
{
    QStandardPaths::setTestModeEnabled(true);
    Sandbox box;
    for (int i = 0; i < 200; ++i) {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i % 360, 200, 200));
        // Qt writes no GIF; the corpus test covers that reader.
        const QString ext = i % 2 == 0 ? QStringLiteral("jpg") : QStringLiteral("bmp");
        QVERIFY(image.save(
            box.file(QStringLiteral("p%1.%2").arg(i, 3, 10, QLatin1Char('0')).arg(ext))));
    }
    WindowSession session;
    ScopedServices &services = session.services;
    MainWindow &w = session.window;
    QVERIFY(session.load());
    session.trigger("mnu_autorefresh");
    QVERIFY(session.choose(box.path()));
    QCOMPARE(w.browser()->list()->count(), 200);
    w.slideShow()->setIntervalAsker([](int &interval) {
        interval = 1;
        return true;
    });
    w.slideShow()->toggleslideshow();

    constexpr int ticks = 2 * 60 * 60; // two hours at one a second
    long warm = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        if (tick == 400) // twice round: caches and the allocator have settled
            warm = residentKb();
        w.slideShow()->slidetimer_Timer();
        w.browser()->refreshTick();
    }
    const long end = residentKb();
    qInfo("resident after warm-up %ld kB, after %d ticks %ld kB, growth %ld kB", warm, ticks, end,
          end - warm);
    QVERIFY2(services.prompts.shown.isEmpty(),
             qPrintable(QStringLiteral("%1 messages, the first: %2")
                            .arg(services.prompts.shown.size())
                            .arg(services.prompts.shown.value(0).prompt)));
    QCOMPARE(services.ends.ends, 0);
#ifdef VISTREL_SANITIZED
    QSKIP("AddressSanitizer holds freed memory in quarantine; resident size says nothing here");
#endif
    QVERIFY(warm > 0);
    QVERIFY2(end - warm < 8 * 1024, "resident memory grew by more than 8 MB");
}

QTEST_MAIN(TestSlideMemory)
#include "test_slidememory.moc"
