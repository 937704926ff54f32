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
            << QStringLiteral("/srv/new\nline.jpg") << QStringLiteral("/srv/new\u21B5line.jpg");
        QTest::newRow("carriage return and tab")
            << QStringLiteral("a\r\tb") << QStringLiteral("a\u21B5\u2192b");
        QTest::newRow("escape, delete and a C1 control")
            << QStringLiteral("a\u001B\u007F\u009Bb") << QStringLiteral("a\uFFFD\uFFFD\uFFFDb");
        QTest::newRow("a byte not UTF-8, and a character beyond the first plane")
            << QStringLiteral("a") + QChar(0xDCE9) + QStringLiteral("b\U0001F600c")
            << QStringLiteral("a\uFFFDb\U0001F600c");
        QTest::newRow("next line, line and paragraph separators")
            << QStringLiteral("a\u0085b\u2028c\u2029d") << QStringLiteral("a\u21B5b\u21B5c\u21B5d");
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
