#include "decoders.h"
#include "pictures.h"
#include "testutils.h"
#include "viewer/filelook.h"
#include "viewer/picturecache.h"

#include <QFile>
#include <QTest>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>

using namespace vistrel;
using namespace vistrel::test;
using namespace std::chrono_literals;

// What the display finds must never differ from a fresh load: a decode is used only for a
// request it is sharp enough for, and only while its file is unchanged; memory stays within
// one budget; nobody waits on a decode without a bound.
class TestPictureCache : public QObject
{
    Q_OBJECT

    static QByteArray native(const Sandbox &box, const char *name)
    {
        return QFile::encodeName(box.file(QString::fromLatin1(name)));
    }
    // The file's identity, as the display looks at it before it asks the cache.
    static FileIdentity look(const Sandbox &box, const char *name)
    {
        return FileIdentity::of(native(box, name));
    }

private slots:
    void decodeIsFoundForRequestsItIsSharpEnoughFor_data()
    {
        QTest::addColumn<QSize>("made");
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<bool>("found");
        // 640x480 decodes at 1/8 steps: 80x60, 160x120, ... 640x480.
        QTest::newRow("the same request") << QSize(80, 60) << QSize(80, 60) << true;
        QTest::newRow("a smaller area it covers") << QSize(160, 120) << QSize(100, 100) << true;
        QTest::newRow("a larger area is not served blurred")
            << QSize(80, 60) << QSize(200, 150) << false;
        QTest::newRow("far more pixels than the area is not served")
            << QSize(640, 480) << QSize(50, 40) << false;
        QTest::newRow("the whole picture serves any larger area")
            << QSize(600, 450) << QSize(1000, 900) << true;
        QTest::newRow("own size needs the whole picture") << QSize(80, 60) << QSize() << false;
        QTest::newRow("own size from a whole decode") << QSize(600, 450) << QSize() << true;
    }
    void decodeIsFoundForRequestsItIsSharpEnoughFor()
    {
        QFETCH(QSize, made);
        QFETCH(QSize, asked);
        Sandbox box;
        box.write(QStringLiteral("a.jpg"), encode(gradient(640, 480), "jpg"));
        PictureCache cache;
        cache.want({{native(box, "a.jpg"), made}});
        QVERIFY(cache.waitIdle());
        const std::optional<LoadedPicture> p =
            cache.find({native(box, "a.jpg"), asked}, look(box, "a.jpg"));
        QTEST(p.has_value(), "found");
        if (p) {
            QVERIFY(p->ok());
            QCOMPARE(p->image, PictureLoader::load(native(box, "a.jpg"), made).image);
        }
        QCOMPARE(cache.decodes(), 1);
    }

    // The file's identity is the one the caller took (off its thread): decodes older than that
    // look serve only its state of the file, newer ones serve it.
    void changedOrVanishedFileIsDecodedAfresh_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("look");
        QTest::addColumn<int>("decodes");
        QTest::newRow("rewritten, the caller looked after the change") << false << "after" << 2;
        QTest::newRow("removed, the caller looked after the change") << true << "after" << 2;
        QTest::newRow("rewritten, the caller looked before: its state serves")
            << false << "before" << 1;
    }
    void changedOrVanishedFileIsDecodedAfresh()
    {
        QFETCH(bool, remove);
        QFETCH(QString, look);
        QFETCH(int, decodes);
        Sandbox box;
        box.write(QStringLiteral("a.bmp"), encode(solid(8, 8, Qt::red), "bmp"));
        box.setMtime(QStringLiteral("a.bmp"), 1000000000);
        const PictureCache::Request request{native(box, "a.bmp"), QSize()};
        const FileIdentity before = FileIdentity::of(request.nativePath);
        PictureCache cache;
        cache.want({request});
        QVERIFY(cache.waitIdle());
        if (remove) {
            QFile::remove(box.file(QStringLiteral("a.bmp")));
        } else {
            box.write(QStringLiteral("a.bmp"), encode(solid(8, 8, Qt::blue), "bmp"));
            box.setMtime(QStringLiteral("a.bmp"), 1000000001);
        }
        const FileIdentity known =
            look == QLatin1String("before") ? before : FileIdentity::of(request.nativePath);
        const std::optional<LoadedPicture> p = decodes == 1 ? cache.find(request, known) : [&] {
            if (cache.find(request, known))
                return std::optional<LoadedPicture>();
            return cache.waitFor(request, 10s, known);
        }();
        QVERIFY(p);
        QCOMPARE(cache.decodes(), decodes);
        if (remove) {
            QCOMPARE(p->error, int(LoadedPicture::FileNotFound));
        } else {
            QVERIFY(p->ok());
            QCOMPARE(QColor(p->image.pixel(0, 0)), QColor(decodes == 1 ? Qt::red : Qt::blue));
        }
    }

    void costlyDecodeIsRemembered_data()
    {
        QTest::addColumn<int>("processorMs"); // spent by the decode
        QTest::addColumn<bool>("tile");
        QTest::addColumn<bool>("costly");
        QTest::newRow("a long decode is remembered") << 500 << false << true;
        QTest::newRow("a quick one is not") << 0 << false << false;
        QTest::newRow("a long tile says nothing of the whole") << 500 << true << false;
    }
    // A file that took long to decode is not decoded ahead again (the display asks isCostly);
    // a later quick decode of it forgets that.
    void costlyDecodeIsRemembered()
    {
        QFETCH(int, processorMs);
        QFETCH(bool, tile);
        Sandbox box;
        box.write(QStringLiteral("a.bmp"), encode(gradient(64, 64), "bmp"));
        auto spend = std::make_shared<std::atomic<int>>(processorMs);
        PictureCache cache(PictureCache::defaultBudgetBytes, [spend](const PictureCache::Request &r,
                                                                     const std::atomic<bool> &) {
            timespec start = {}, now = {};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
            do
                ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            while ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 <
                   spend->load());
            return PictureLoader::load(r.nativePath, r.atLeast);
        });
        const QByteArray path = native(box, "a.bmp");
        cache.want({{path, QSize(16, 16), tile ? QRect(0, 0, 8, 8) : QRect()}});
        QVERIFY(cache.waitIdle());
        QTEST(cache.isCostly(path), "costly");
        *spend = 0;
        cache.want({{path, QSize()}}); // not served by the first decode
        QVERIFY(cache.waitIdle());
        QVERIFY(!cache.isCostly(path));
    }

    void failureIsKeptForTheSameRequestOnly()
    {
        Sandbox box;
        box.write(QStringLiteral("bad.jpg"), QByteArrayLiteral("no picture"));
        PictureCache cache;
        const PictureCache::Request request{native(box, "bad.jpg"), QSize(10, 10)};
        cache.want({request});
        QVERIFY(cache.waitIdle());
        const FileIdentity known = FileIdentity::of(request.nativePath);
        QCOMPARE(cache.find(request, known)->error, int(LoadedPicture::Unreadable));
        QVERIFY(!cache.find({request.nativePath, QSize(20, 20)}, known));
        QCOMPARE(cache.hits(), 0);
    }

    // Stepping on and back: what was shown and the one before stay, within the budget.
    void shownAndPreviousStayWithinOneBudget()
    {
        Sandbox box;
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
            box.write(QString::fromLatin1(name), encode(gradient(100, 100), "bmp"));
        const qint64 onePicture = 100 * 100 * 4;
        PictureCache cache(3 * onePicture);
        const auto req = [&](const char *name) {
            return PictureCache::Request{native(box, name), QSize()};
        };
        const auto held = [&](const char *name) { return cache.find(req(name), look(box, name)); };
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) {
            cache.want({req(name)});
            QVERIFY(cache.waitIdle());
            QVERIFY(held(name));
            cache.setShown(req(name));
            QVERIFY(cache.bytesHeld() <= 3 * onePicture);
        }
        // a, the oldest, made room; the others cost no decode to show again.
        const int decodes = cache.decodes();
        QVERIFY(held("d.bmp") && held("c.bmp") && held("b.bmp"));
        QVERIFY(!held("a.bmp"));
        QCOMPARE(cache.decodes(), decodes);
    }

    void waitingIsBoundedAndDestroyingDoesNotWait()
    {
        Sandbox box;
        box.write(QStringLiteral("a.jpg"), encode(gradient(64, 64), "jpg"));
        HeldDecoder held;
        auto cache =
            std::make_unique<PictureCache>(PictureCache::defaultBudgetBytes, held.decoder());
        const PictureCache::Request request{native(box, "a.jpg"), QSize(16, 16)};
        cache->want({request});
        QTRY_COMPARE(held.gate->started.load(), 1);
        // The decode is held until released below: the wait returns by its own bound.
        QVERIFY(!cache->waitFor(request, 50ms, FileIdentity::of(request.nativePath)));
        cache.reset(); // returns with the decode still held
        held.release();
    }

    // Decodes nobody wants any more are cancelled, and those that do not stop (stuck on a hostile
    // file, or in the kernel on a mount that does not answer) do not hold back the one wanted
    // now, even when there are more of them than decode threads.
    void leftPicturesDoNotBlockTheNextOne_data()
    {
        QTest::addColumn<int>("stuck");
        QTest::newRow("two left behind") << 2;
        QTest::newRow("more stuck than threads") << 8;
    }
    void leftPicturesDoNotBlockTheNextOne()
    {
        QFETCH(int, stuck);
        Sandbox box;
        box.write(QStringLiteral("ok.jpg"), encode(gradient(64, 64), "jpg"));
        HeldDecoder held;
        const PictureCache::Decoder holding = held.decoder();
        PictureCache cache(PictureCache::defaultBudgetBytes,
                           [holding](const PictureCache::Request &r, const std::atomic<bool> &c) {
                               return r.nativePath.endsWith("ok.jpg")
                                          ? PictureLoader::load(r.nativePath, r.atLeast)
                                          : holding(r, c);
                           });
        // Two at a time, as a display stepping through a folder wants them.
        for (int i = 0; i < stuck; i += 2) {
            cache.want({{QByteArray("/dead/") + QByteArray::number(i) + ".jpg", QSize(8, 8)},
                        {QByteArray("/dead/") + QByteArray::number(i + 1) + ".jpg", QSize(8, 8)}});
            QTRY_COMPARE(held.gate->started.load(), i + 2);
        }
        cache.want({{native(box, "ok.jpg"), QSize(8, 8)}});
        QVERIFY(cache.waitFor({native(box, "ok.jpg"), QSize(8, 8)}, 10s, look(box, "ok.jpg")));
        held.release();
        QTRY_COMPARE(held.gate->cancelSeen.load(), stuck); // all were told to give up
    }
};

QTEST_GUILESS_MAIN(TestPictureCache)
#include "test_picturecache.moc"
