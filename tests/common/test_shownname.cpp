// Names as one-line labels and messages show them.

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

    void breakable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("broken");
        const QString zw(QChar(0x200B));
        QTest::newRow("short words") << "Delete file: a b"
                                     << "Delete file: a b";
        QTest::newRow("after each slash")
            << "/srv/a.jpg"
            << QStringLiteral("/") + zw + QStringLiteral("srv/") + zw + QStringLiteral("a.jpg");
        QTest::newRow("a run of 41 characters")
            << QString(41, u'x') << QString(40, u'x') + zw + u'x';
    }
    void breakable()
    {
        QFETCH(QString, text);
        QFETCH(QString, broken);
        QCOMPARE(shownname::breakable(text), broken);
        // Only invisible breaks are added: the text itself is unchanged.
        QCOMPARE(shownname::breakable(text).remove(QChar(0x200B)), text);
    }
};

QTEST_GUILESS_MAIN(TestShownName)
#include "test_shownname.moc"
