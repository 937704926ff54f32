// The two texts of the status bar's clock.

#include "app/clockformat.h"

#include <QtTest>

#include <ctime>

using namespace vistrel;

class TestClockFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }

    void loadClockText_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("morning") << QDateTime(QDate(2026, 12, 8), QTime(4, 2, 1)) << uk
                                 << "08/12/2026 04:02:01 AM";
        QTest::newRow("afternoon")
            << QDateTime(QDate(2026, 1, 31), QTime(16, 59, 59)) << uk << "31/01/2026 04:59:59 PM";
        QTest::newRow("midnight") << QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0)) << uk
                                  << "29/02/2024 12:00:00 AM";
        QTest::newRow("noon") << QDateTime(QDate(2024, 7, 4), QTime(12, 30, 5)) << uk
                              << "04/07/2024 12:30:05 PM";
        QTest::newRow("United States: day first all the same")
            << QDateTime(QDate(2026, 12, 9), QTime(5, 25, 47))
            << QLocale(QLocale::English, QLocale::UnitedStates) << "09/12/2026 05:25:47 AM";
        QTest::newRow("Germany: its date separator")
            << QDateTime(QDate(2026, 12, 9), QTime(5, 25, 47))
            << QLocale(QLocale::German, QLocale::Germany) << "09.12.2026 05:25:47 AM";
        QTest::newRow("Finland: its time separator")
            << QDateTime(QDate(2026, 12, 9), QTime(17, 25, 47))
            << QLocale(QLocale::Finnish, QLocale::Finland) << "09.12.2026 05.25.47 PM";
        QTest::newRow("Egypt: direction marks stay with the separator")
            << QDateTime(QDate(2026, 12, 9), QTime(15, 27, 39))
            << QLocale(QLocale::Arabic, QLocale::Egypt)
            << QStringLiteral("09\u200F/12\u200F/2026 03:27:39 PM");
    }
    void loadClockText()
    {
        QFETCH(QDateTime, now);
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(vistrel::loadClockText(now, locale), text);
    }

    void tickClockText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("United States")
            << QLocale(QLocale::English, QLocale::UnitedStates) << "12/8/26 4:02:01 AM";
        QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany)
                                 << "08.12.26 04:02:01";
        QTest::newRow("zone in brackets")
            << QLocale(QLocale::LowGerman, QLocale::Germany) << "8.12.26 Klock 4.02:01";
        QTest::newRow("quoted words")
            << QLocale(QLocale::French, QLocale::Canada) << "2026-12-08 04 h 02 min 01 s";
        QTest::newRow("United Kingdom")
            << QLocale(QLocale::English, QLocale::UnitedKingdom) << "08/12/2026 04:02:01";
    }
    void tickClockText()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(vistrel::tickClockText(QDate(2026, 12, 8), QTime(4, 2, 1), locale), text);
    }

    // Whatever the locale, the time of day carries no time zone name and no stray blanks.
    void noZoneNameInAnyLocale()
    {
        const QDate date(2026, 12, 8);
        const QTime time(16, 2, 1);
        const QList<QLocale> locales = QLocale::matchingLocales(
            QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        QVERIFY(locales.size() > 100);
        for (const QLocale &locale : locales) {
            const QString text = vistrel::tickClockText(date, time, locale);
            const QString name = locale.name();
            QVERIFY2(!text.contains(QLatin1String("UTC")), qPrintable(name + u": " + text));
            QVERIFY2(!text.contains(QLatin1String("GMT")), qPrintable(name + u": " + text));
            QVERIFY2(text == text.trimmed(), qPrintable(name + u": " + text));
            QVERIFY2(text.startsWith(locale.toString(date, QLocale::ShortFormat) + u' '),
                     qPrintable(name + u": " + text));
            // Nothing that only set the zone off is left behind.
            QVERIFY2(!text.contains(QLatin1String("()")), qPrintable(name + u": " + text));
            QVERIFY2(!text.contains(QLatin1String("  ")), qPrintable(name + u": " + text));
            // Quoted words of the format (such as "min" or "Klock") are shown whole.
            const QStringList parts = locale.timeFormat(QLocale::LongFormat).split(u'\'');
            for (qsizetype i = 1; i < parts.size(); i += 2) {
                QVERIFY2(text.contains(parts.at(i)),
                         qPrintable(name + u": " + text + u" lacks " + parts.at(i)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestClockFormat)
#include "test_clockformat.moc"
