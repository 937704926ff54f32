#include "browse/pathmap.h"
#include "viewer/picturegeometry.h"

#include <QTest>

using namespace vistrel;

// The arithmetic of the viewing area: sizes in HIMETRIC, the status text, and where a picture at
// its own size goes.
class TestPictureGeometry : public QObject
{
    Q_OBJECT

private slots:
    void fullPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("root folder gets no second slash") << "/"
                                                          << "/a.jpg";
        QTest::newRow("other folder gets one") << "/home/pics"
                                               << "/home/pics/a.jpg";
        QTest::newRow("folder ending in a slash") << "/home/pics/"
                                                  << "/home/pics/a.jpg";
    }
    void fullPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(joinFolderAndName(folder, QStringLiteral("a.jpg")), expected);
    }

    void himetric_data()
    {
        QTest::addColumn<qint64>("pixels");
        QTest::addColumn<qint64>("himetric");
        QTest::newRow("zero") << qint64(0) << qint64(0);
        QTest::newRow("one inch") << qint64(96) << qint64(2540);
        QTest::newRow("rounds up above a half") << qint64(30) << qint64(794);  // 793.75
        QTest::newRow("rounds down below a half") << qint64(1) << qint64(26);  // 26.458
        QTest::newRow("half goes to even, down") << qint64(12) << qint64(318); // 317.5
        QTest::newRow("half goes to even, up") << qint64(36) << qint64(952);   // 952.5
        QTest::newRow("6000 pixels") << qint64(6000) << qint64(158750);
        QTest::newRow("beyond 32 bits") << qint64(2000000000) << qint64(52916666667);
    }
    void himetric()
    {
        QFETCH(qint64, pixels);
        QFETCH(qint64, himetric);
        QCOMPARE(pixelsToHimetric(pixels), himetric);
    }

    void sizeTextIsHeightFirstWithThreeBlanks()
    {
        QCOMPARE(sizeText(465, 401, 21167, 28222), QStringLiteral("465x401   21167x28222   "));
        QCOMPARE(sizeText(1, 2, pixelsToHimetric(30), pixelsToHimetric(50)),
                 QStringLiteral("1x2   794x1323   "));
    }

    void actualSize_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<bool>("hBar");
        QTest::addColumn<bool>("vBar");
        QTest::addColumn<int>("hMax");
        QTest::addColumn<int>("vMax");
        const QSize area(400, 300);
        QTest::newRow("exactly as large stays at offset 1")
            << QSize(400, 300) << area << 1.0 << 1.0 << false << false << 0 << 0;
        QTest::newRow("one wider gets a range of 1")
            << QSize(401, 300) << area << 1.0 << 1.0 << true << false << 1 << 0;
        QTest::newRow("100 narrower sits at 50")
            << QSize(300, 300) << area << 50.0 << 1.0 << false << false << 0 << 0;
        QTest::newRow("101 narrower sits at a half pixel")
            << QSize(299, 300) << area << 50.5 << 1.0 << false << false << 0 << 0;
        QTest::newRow("narrow but tall has only the vertical bar")
            << QSize(200, 500) << area << 100.0 << 1.0 << false << true << 0 << 200;
        QTest::newRow("wide but short has only the horizontal bar")
            << QSize(900, 100) << area << 1.0 << 100.0 << true << false << 500 << 0;
        QTest::newRow("larger both ways has both bars")
            << QSize(500, 400) << area << 1.0 << 1.0 << true << true << 100 << 100;
        QTest::newRow("smaller both ways is centred")
            << QSize(101, 51) << area << 149.5 << 124.5 << false << false << 0 << 0;
        QTest::newRow("overhang beyond 16 bits does not wrap")
            << QSize(100400, 70300) << area << 1.0 << 1.0 << true << true << 100000 << 70000;
    }
    void actualSize()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, area);
        const ActualPlacement p = placeActualSize(picture, area);
        QTEST(p.left, "left");
        QTEST(p.top, "top");
        QTEST(p.horizontalBar, "hBar");
        QTEST(p.verticalBar, "vBar");
        if (p.horizontalBar)
            QTEST(p.horizontalMax, "hMax");
        if (p.verticalBar)
            QTEST(p.verticalMax, "vMax");
    }

    void tiles_data()
    {
        QTest::addColumn<QRect>("visible");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("margin");
        QTest::addColumn<QList<QRect>>("tiles");
        const QSize big(1000, 700);
        QTest::newRow("view inside one tile")
            << QRect(10, 10, 50, 50) << big << 0 << QList<QRect>{QRect(0, 0, 100, 100)};
        QTest::newRow("view across four, its top-left first")
            << QRect(150, 150, 100, 100) << big << 0
            << QList<QRect>{QRect(100, 100, 100, 100), QRect(200, 100, 100, 100),
                            QRect(100, 200, 100, 100), QRect(200, 200, 100, 100)};
        QTest::newRow("ring after the view, cut at the picture's corner")
            << QRect(0, 0, 100, 100) << QSize(250, 150) << 1
            << QList<QRect>{QRect(0, 0, 100, 100), QRect(100, 0, 100, 100), QRect(0, 100, 100, 50),
                            QRect(100, 100, 100, 50)};
        QTest::newRow("last tiles cut at the far edges")
            << QRect(900, 650, 100, 50) << QSize(950, 680) << 0
            << QList<QRect>{QRect(900, 600, 50, 80)};
        QTest::newRow("view outside the picture")
            << QRect(-200, 0, 100, 100) << big << 1 << QList<QRect>{};
    }
    // 100-pixel tiles.
    void tiles()
    {
        QFETCH(QRect, visible);
        QFETCH(QSize, picture);
        QFETCH(int, margin);
        QTEST(tilesFor(visible, picture, 100, margin), "tiles");
    }

    // 100-pixel tiles gathered into blocks decoded in one pass each.
    void blocks_data()
    {
        QTest::addColumn<QList<QRect>>("tiles");
        QTest::addColumn<QList<QRect>>("blocks");
        const auto t = [](int x, int y) { return QRect(x * 100, y * 100, 100, 100); };
        QTest::newRow("a square of four, in any order")
            << QList<QRect>{t(2, 1), t(1, 0), t(1, 1), t(2, 0)}
            << QList<QRect>{QRect(100, 0, 200, 200)};
        QTest::newRow("a column of new tiles after a step sideways")
            << QList<QRect>{t(5, 0), t(6, 0), t(5, 1), t(6, 1), t(5, 2), t(6, 2)}
            << QList<QRect>{QRect(500, 0, 200, 300)};
        QTest::newRow("a ring: top row, the sides apart, bottom row")
            << QList<QRect>{t(0, 0), t(1, 0), t(2, 0), t(0, 1), t(2, 1), t(0, 2), t(1, 2), t(2, 2)}
            << QList<QRect>{QRect(0, 0, 300, 100), QRect(0, 100, 100, 100),
                            QRect(200, 100, 100, 100), QRect(0, 200, 300, 100)};
        QTest::newRow("tiles cut at the edge join their row")
            << QList<QRect>{QRect(900, 0, 100, 100), QRect(1000, 0, 40, 100)}
            << QList<QRect>{QRect(900, 0, 140, 100)};
        QTest::newRow("none") << QList<QRect>{} << QList<QRect>{};
    }
    void blocks()
    {
        QFETCH(QList<QRect>, tiles);
        QTEST(tileBlocks(tiles), "blocks");
    }

    void overviewIsAnEighthWithinItsBound_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("overview");
        QTest::newRow("100 MP photo") << QSize(12000, 8400) << QSize(1500, 1050);
        QTest::newRow("panorama") << QSize(40000, 2000) << QSize(5000, 250);
        QTest::newRow("beyond the bound: smaller, same shape")
            << QSize(65500, 65500) << QSize(2048, 2048);
        QTest::newRow("a sliver keeps a pixel") << QSize(3, 60000) << QSize(1, 7500);
    }
    void overviewIsAnEighthWithinItsBound()
    {
        QFETCH(QSize, picture);
        QTEST(overviewSize(picture, 4LL << 20), "overview");
    }

    void scrollValueIsNegatedPosition()
    {
        QCOMPARE(scrollPosition(1200), -1200.0);
        QCOMPARE(scrollPosition(0), 0.0);
        QCOMPARE(scrollPosition(100000), -100000.0);
    }
};

QTEST_GUILESS_MAIN(TestPictureGeometry)
#include "test_picturegeometry.moc"
