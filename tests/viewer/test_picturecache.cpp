#include "pictures.h"
#include "testutils.h"
#include "viewer/picturecache.h"

#include <QFile>
#include <QTest>

using namespace vistrel;
using namespace vistrel::test;

// Decoding ahead must never change what the display gets: a decode made ahead is used only for
// the same request of an unchanged file.
class TestPictureCache : public QObject
{
    Q_OBJECT

    static QByteArray native(const Sandbox &box, const char *name)
    {
        return QFile::encodeName(box.file(QString::fromLatin1(name)));
    }

private slots:
    void madeAheadIsUsedForTheSameRequest()
    {
        Sandbox box;
        box.write(QStringLiteral("a.jpg"), encode(gradient(320, 240), "jpg"));
        PictureCache cache;
        const PictureCache::Request request{native(box, "a.jpg"), QSize(80, 60)};
        cache.prefetch({request});
        cache.waitIdle();
        const LoadedPicture p = cache.load(request);
        QCOMPARE(cache.hits(), 1);
        QVERIFY(p.ok());
        QCOMPARE(p.image, PictureLoader::load(request.nativePath, request.atLeast).image);
        // Taken once: the next load decodes afresh.
        QVERIFY(cache.load(request).ok());
        QCOMPARE(cache.hits(), 1);
    }

    void anotherSizeIsNotServed()
    {
        Sandbox box;
        box.write(QStringLiteral("a.jpg"), encode(gradient(320, 240), "jpg"));
        PictureCache cache;
        cache.prefetch({{native(box, "a.jpg"), QSize(80, 60)}});
        cache.waitIdle();
        const LoadedPicture p = cache.load({native(box, "a.jpg"), QSize()});
        QCOMPARE(cache.hits(), 0);
        QCOMPARE(p.image.size(), QSize(320, 240));
    }

    void changedOrVanishedFileIsLoadedAfresh_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::newRow("rewritten") << false;
        QTest::newRow("removed") << true;
    }
    void changedOrVanishedFileIsLoadedAfresh()
    {
        QFETCH(bool, remove);
        Sandbox box;
        box.write(QStringLiteral("a.bmp"), encode(solid(8, 8, Qt::red), "bmp"));
        box.setMtime(QStringLiteral("a.bmp"), 1000000000);
        PictureCache cache;
        const PictureCache::Request request{native(box, "a.bmp"), QSize()};
        cache.prefetch({request});
        cache.waitIdle();
        if (remove) {
            QFile::remove(box.file(QStringLiteral("a.bmp")));
        } else {
            box.write(QStringLiteral("a.bmp"), encode(solid(8, 8, Qt::blue), "bmp"));
            box.setMtime(QStringLiteral("a.bmp"), 1000000001);
        }
        const LoadedPicture p = cache.load(request);
        QCOMPARE(cache.hits(), 0);
        if (remove) {
            QCOMPARE(p.error, int(LoadedPicture::FileNotFound));
        } else {
            QVERIFY(p.ok());
            QCOMPARE(QColor(p.image.pixel(0, 0)), QColor(Qt::blue));
        }
    }

    void failuresAreNotKept()
    {
        Sandbox box;
        box.write(QStringLiteral("bad.jpg"), QByteArrayLiteral("no picture"));
        PictureCache cache;
        const PictureCache::Request request{native(box, "bad.jpg"), QSize(10, 10)};
        cache.prefetch({request});
        cache.waitIdle();
        QCOMPARE(cache.load(request).error, int(LoadedPicture::Unreadable));
        QCOMPARE(cache.hits(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPictureCache)
#include "test_picturecache.moc"
