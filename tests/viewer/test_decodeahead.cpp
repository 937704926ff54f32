#include "viewer/decodeahead.h"

#include <QTest>

using namespace vistrel;

Q_DECLARE_METATYPE(std::vector<int>)

// Which way the user travels through the list and which entries are decoded ahead of the display.
class TestDecodeAhead : public QObject
{
    Q_OBJECT

private slots:
    void stepsAhead_data()
    {
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("ahead");
        QTest::addColumn<bool>("behindToo");
        QTest::addColumn<int>("direction");
        QTest::addColumn<std::vector<int>>("wanted");
        using V = std::vector<int>;
        QTest::newRow("first display keeps the direction")
            << -1 << 0 << 5 << 1 << 1 << true << 1 << V{1, 4};
        QTest::newRow("a step forward") << 2 << 3 << 5 << -1 << 1 << true << 1 << V{4, 2};
        QTest::newRow("a step back") << 3 << 2 << 5 << 1 << 1 << true << -1 << V{1, 3};
        QTest::newRow("from the last to the first is forward")
            << 4 << 0 << 5 << -1 << 1 << true << 1 << V{1, 4};
        QTest::newRow("from the first to the last is back")
            << 0 << 4 << 5 << 1 << 1 << true << -1 << V{3, 0};
        QTest::newRow("a jump keeps the direction")
            << 0 << 3 << 5 << -1 << 1 << true << -1 << V{2, 4};
        QTest::newRow("of two entries a step is forward, the other one wanted once")
            << 0 << 1 << 2 << -1 << 1 << true << 1 << V{0};
        QTest::newRow("fast stepping back, three ahead and none behind")
            << 5 << 4 << 10 << 1 << 3 << false << -1 << V{3, 2, 1};
        QTest::newRow("three ahead wrapping round")
            << 7 << 8 << 10 << 1 << 3 << false << 1 << V{9, 0, 1};
        QTest::newRow("no more ahead than the list holds besides")
            << 0 << 1 << 3 << 1 << 3 << true << 1 << V{2, 0};
        QTest::newRow("the same entry again keeps the direction")
            << 2 << 2 << 5 << -1 << 1 << false << -1 << V{1};
        QTest::newRow("a single entry wants nothing") << 0 << 0 << 1 << 1 << 1 << true << 1 << V{};
        QTest::newRow("nothing selected wants nothing")
            << 2 << -1 << 5 << -1 << 1 << true << -1 << V{};
    }
    void stepsAhead()
    {
        QFETCH(int, last);
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(int, previous);
        QFETCH(int, ahead);
        QFETCH(bool, behindToo);
        QFETCH(int, direction);
        QFETCH(std::vector<int>, wanted);
        QCOMPARE(travelDirection(last, index, count, previous), direction);
        QCOMPARE(aheadIndices(index, count, direction, ahead, behindToo), wanted);
    }
};

QTEST_GUILESS_MAIN(TestDecodeAhead)
#include "test_decodeahead.moc"
