// Names as one-line labels show them.

#include "common/shownname.h"

#include <QtTest>

using namespace vistrel;

class TestShownName : public QObject
{
    Q_OBJECT

private slots:
    void visible_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ordinary name") << QStringLiteral("/srv/été.jpg") << "/srv/été.jpg";
        QTest::newRow("line feed")
            << QStringLiteral("/srv/a\nb.jpg") << QStringLiteral("/srv/a\u240Ab.jpg");
        QTest::newRow("carriage return and tab")
            << QStringLiteral("a\r\tb") << QStringLiteral("a\u240D\u2409b");
        QTest::newRow("delete and next line")
            << QStringLiteral("a\u007F\u0085b") << QStringLiteral("a\u2421\u2424b");
        QTest::newRow("line and paragraph separators")
            << QStringLiteral("a\u2028b\u2029c") << QStringLiteral("a\u2424b\u2424c");
    }
    void visible()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(shownname::visible(name), shown);
    }
};

QTEST_GUILESS_MAIN(TestShownName)
#include "test_shownname.moc"
