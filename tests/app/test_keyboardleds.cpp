// Reading the lock keys' lights from the kernel's LED class.

#include "app/keyboardleds.h"
#include "testutils.h"

#include <QtTest>

using namespace vistrel;

class TestKeyboardLeds : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        // Each light is "name=brightness"; a bare name is a light without a brightness file.
        QTest::addColumn<QStringList>("lights");
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("caps");
        QTest::addColumn<bool>("num");
        QTest::newRow("no keyboard lights")
            << QStringList{"mmc0::=1", "input3::scrolllock=1"} << false << false << false;
        QTest::newRow("caps lit, num dark")
            << QStringList{"input3::capslock=1\n", "input3::numlock=0\n"} << true << true << false;
        QTest::newRow("num at full brightness")
            << QStringList{"input3::capslock=0\n", "input3::numlock=255\n"} << true << false
            << true;
        QTest::newRow("one keyboard of two lit")
            << QStringList{"input3::capslock=0", "input9::capslock=1", "input9::numlock=00"} << true
            << true << false;
        QTest::newRow("unreadable or not a number is dark")
            << QStringList{"input3::capslock", "input3::numlock=on"} << true << false << false;
    }
    void read()
    {
        QFETCH(QStringList, lights);
        QFETCH(bool, found);
        vistrel::test::TemporaryDir leds;
        for (const QString &light : lights) {
            const QString name = light.section(QLatin1Char('='), 0, 0);
            QVERIFY(QDir(leds.path()).mkdir(name));
            if (light.contains(QLatin1Char('='))) {
                QFile brightness(leds.filePath(name + QStringLiteral("/brightness")));
                QVERIFY(brightness.open(QIODevice::WriteOnly));
                brightness.write(light.section(QLatin1Char('='), 1).toUtf8());
            }
        }
        const std::optional<LockStates> states =
            KeyboardLeds(QFile::encodeName(leds.path())).read();
        QCOMPARE(states.has_value(), found);
        if (found) {
            QTEST(states->caps, "caps");
            QTEST(states->num, "num");
        }
    }

    void missingClassFolder() { QVERIFY(!KeyboardLeds("/nonexistent/leds").read()); }
};

QTEST_GUILESS_MAIN(TestKeyboardLeds)
#include "test_keyboardleds.moc"
