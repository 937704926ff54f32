#include "common/rounding.h"
#include "common/units.h"

#include <QTest>

using namespace vistrel;

// Rounding halves to even, and twips to pixels.
class TestUnits : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("half down to even 2") << 2.5 << 2.0;
        QTest::newRow("half up to even 4") << 3.5 << 4.0;
        QTest::newRow("half to even 0") << 0.5 << 0.0;
        QTest::newRow("half up to even 2") << 1.5 << 2.0;
        QTest::newRow("negative half to even") << -2.5 << -2.0;
        QTest::newRow("negative half up in size") << -3.5 << -4.0;
        QTest::newRow("negative half to even -2") << -1.5 << -2.0;
        QTest::newRow("just below half") << 2.4999 << 2.0;
        QTest::newRow("just above half") << 2.5001 << 3.0;
        QTest::newRow("well above half") << 2.6 << 3.0;
        QTest::newRow("small negative rounds to zero") << -0.4 << 0.0;
        QTest::newRow("whole stays") << 7.0 << 7.0;
        QTest::newRow("top of the range plus half") << 32767.5 << 32768.0;
    }
    void roundHalfEven()
    {
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE(vistrel::roundHalfEven(value), expected);
    }

    void twipsToPixels_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("whole pixels") << 7290.0 << 486;
        QTest::newRow("a third over rounds down") << 80.0 << 5;
        QTest::newRow("two thirds over rounds up") << 2235.0 << 149;
        QTest::newRow("just under half a pixel") << 7.0 << 0;
        QTest::newRow("just over half a pixel") << 8.0 << 1;
        QTest::newRow("just under one and a half") << 22.0 << 1;
        QTest::newRow("just over one and a half") << 23.0 << 2;
        QTest::newRow("exactly half rounds away from zero") << 7.5 << 1;
        QTest::newRow("negative just under half") << -7.0 << 0;
        QTest::newRow("negative just over half") << -8.0 << -1;
        QTest::newRow("negative exactly half") << -7.5 << -1;
        QTest::newRow("negative one and a half and more") << -23.0 << -2;
    }
    void twipsToPixels()
    {
        QFETCH(double, twips);
        QFETCH(int, pixels);
        QCOMPARE(units::toPixels(twips), pixels);
        QCOMPARE(units::toTwips(pixels), pixels * 15.0);
    }

    // Edges are rounded, so two boxes that touch in twips touch in pixels though their sizes,
    // each rounded alone, would leave a gap or overlap.
    void touchingBoxesTouch()
    {
        const QRect a = units::toPixels(QRectF(0, 0, 22, 22));
        const QRect b = units::toPixels(QRectF(22, 22, 22, 22));
        QCOMPARE(a, QRect(0, 0, 1, 1));
        QCOMPARE(b.left(), a.right() + 1);
        QCOMPARE(b.top(), a.bottom() + 1);
        QCOMPARE(b.width(), 2);
    }
};

QTEST_GUILESS_MAIN(TestUnits)
#include "test_units.moc"
