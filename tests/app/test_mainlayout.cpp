// Where the main window's areas go for a given window size, in twips.

#include "app/mainlayout.h"

#include <QtTest>

using namespace vistrel;

class TestMainLayout : public QObject
{
    Q_OBJECT

private slots:
    void atTheMinimum()
    {
        const MainLayout l = layoutForOuterSize(QSizeF(9090, 8610));
        QCOMPARE(l.container, QRectF(2640, 600, 6120, 6810));
        QCOMPARE(l.container.bottom(), 7410.0);
        QCOMPARE(l.vscroll, QRectF(8745, 585, 200, 6810));
        QCOMPARE(l.hscroll, QRectF(2640, 7410, 6120, 200));
        QCOMPARE(l.tree, QRectF(0, 360, 2535, 5410));
        QCOMPARE(l.tree.bottom(), 5770.0);
        QCOMPARE(l.list, QRectF(0, 5810, 2535, 1815));
        QCOMPARE(l.list.bottom(), 7625.0);
        QCOMPARE(l.pathLabel, QRectF(2640, 360, 6375, 255));
    }

    void above_data()
    {
        QTest::addColumn<QSizeF>("outer");
        QTest::addColumn<QRectF>("container");
        QTest::addColumn<QRectF>("vscroll");
        QTest::addColumn<QRectF>("hscroll");
        QTest::addColumn<QRectF>("tree");
        QTest::addColumn<QRectF>("list");
        QTest::newRow("wider only")
            << QSizeF(12090, 8610) << QRectF(2640, 600, 9120, 6810) << QRectF(11745, 585, 200, 6810)
            << QRectF(2640, 7410, 9120, 200) << QRectF(0, 360, 2535, 5410)
            << QRectF(0, 5810, 2535, 1815);
        QTest::newRow("taller only")
            << QSizeF(9090, 10110) << QRectF(2640, 600, 6120, 8310) << QRectF(8745, 585, 200, 8310)
            << QRectF(2640, 8910, 6120, 200) << QRectF(0, 360, 2535, 6910)
            << QRectF(0, 7310, 2535, 1815);
        QTest::newRow("full HD in twips")
            << QSizeF(28800, 16200) << QRectF(2640, 600, 25830, 14400)
            << QRectF(28455, 585, 200, 14400) << QRectF(2640, 15000, 25830, 200)
            << QRectF(0, 360, 2535, 13000) << QRectF(0, 13400, 2535, 1815);
    }
    void above()
    {
        QFETCH(QSizeF, outer);
        QFETCH(QRectF, container);
        QFETCH(QRectF, vscroll);
        QFETCH(QRectF, hscroll);
        QFETCH(QRectF, tree);
        QFETCH(QRectF, list);
        const MainLayout l = layoutForOuterSize(outer);
        QCOMPARE(l.container, container);
        QCOMPARE(l.vscroll, vscroll);
        QCOMPARE(l.hscroll, hscroll);
        QCOMPARE(l.tree, tree);
        QCOMPARE(l.list, list);
        QCOMPARE(l.pathLabel, QRectF(2640, 360, 6375, 255));
    }

    void clampToMinimum_data()
    {
        QTest::addColumn<QSizeF>("outer");
        QTest::addColumn<QSizeF>("clamped");
        QTest::newRow("far below") << QSizeF(100, 100) << QSizeF(9090, 8610);
        QTest::newRow("narrower only") << QSizeF(9000, 9000) << QSizeF(9090, 9000);
        QTest::newRow("lower only") << QSizeF(10000, 8000) << QSizeF(10000, 8610);
        QTest::newRow("one twip below each") << QSizeF(9089, 8609) << QSizeF(9090, 8610);
        QTest::newRow("at the minimum") << QSizeF(9090, 8610) << QSizeF(9090, 8610);
        QTest::newRow("above") << QSizeF(12000, 10000) << QSizeF(12000, 10000);
        QTest::newRow("empty") << QSizeF(0, 0) << QSizeF(9090, 8610);
    }
    void clampToMinimum()
    {
        QFETCH(QSizeF, outer);
        QFETCH(QSizeF, clamped);
        QCOMPARE(vistrel::clampToMinimum(outer), clamped);
        // Below the minimum the layout is that of the minimum.
        QCOMPARE(layoutForOuterSize(vistrel::clampToMinimum(outer)).container.width(),
                 clamped.width() - 2970);
    }

    void outerSizeForWindow()
    {
        QCOMPARE(vistrel::outerSizeForWindow(QSizeF(8970, 8220)), QSizeF(9090, 8610));
    }
};

QTEST_GUILESS_MAIN(TestMainLayout)
#include "test_mainlayout.moc"
