// Reading the interval entry: Val, the accepted range, milliseconds.

#include "slideshow/slideinterval.h"

#include "testutils.h"
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>

using namespace vistrel;

class TestSlideInterval : public QObject
{
    Q_OBJECT

private slots:
    void val_data();
    void val();
    void valOverflowIsInfinite();
    void valIgnoresTheProcessLocale();
    void entry_data();
    void entry();
    void milliseconds_data();
    void milliseconds();
};

void TestSlideInterval::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("plain number") << "10" << 10.0;
    QTest::newRow("empty text") << "" << 0.0;
    QTest::newRow("only blanks") << "   " << 0.0;
    QTest::newRow("leading blanks and tab") << " \t 42" << 42.0;
    QTest::newRow("trailing garbage") << "7x" << 7.0;
    QTest::newRow("text first") << "x7" << 0.0;
    QTest::newRow("stops at an inner blank") << "1 2" << 1.0;
    QTest::newRow("plus sign") << "+5" << 5.0;
    QTest::newRow("minus sign") << "-5" << -5.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("sign then letters") << "-abc" << 0.0;
    QTest::newRow("double sign") << "--5" << 0.0;
    QTest::newRow("decimal fraction") << "2.75" << 2.75;
    QTest::newRow("fraction without whole part") << ".5" << 0.5;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("trailing point") << "3." << 3.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("comma is no decimal mark") << "2,5" << 2.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent with D") << "2D2" << 200.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "7e" << 7.0;
    QTest::newRow("exponent sign without digits") << "7e+" << 7.0;
    QTest::newRow("hex prefix not read") << "&H10" << 0.0;
    QTest::newRow("digits of another script") << QString::fromUtf8("\u0663") << 0.0;
    QTest::newRow("minus zero is zero") << "-0" << 0.0;
    QTest::newRow("huge but finite") << "99999999999999999999" << 1e20;
}

void TestSlideInterval::val()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double got = basicVal(text);
    QCOMPARE(got, expected);
    QVERIFY(!std::signbit(got) || expected < 0);
}

void TestSlideInterval::valOverflowIsInfinite()
{
    QCOMPARE(basicVal(u"1e999"), std::numeric_limits<double>::infinity());
    QCOMPARE(basicVal(u"-1e999"), -std::numeric_limits<double>::infinity());
    QCOMPARE(basicVal(u"1e-999"), 0.0);
}

void TestSlideInterval::valIgnoresTheProcessLocale()
{
    // The application sets the user's locale at start; one with "," as decimal mark must not
    // change how "2.5" reads. Build such a locale into a temporary folder if none is installed.
    vistrel::test::TemporaryDir localeDir;
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        const QString target = localeDir.filePath(QStringLiteral("de_DE.UTF-8"));
        QProcess::execute(QStringLiteral("localedef"),
                          {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                           QStringLiteral("UTF-8"), target});
        qputenv("LOCPATH", QFile::encodeName(localeDir.path()));
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            QSKIP("no locale with a decimal comma can be made on this machine");
    }
    QCOMPARE(std::localeconv()->decimal_point, ",");
    const double got = basicVal(u"2.5");
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
    QCOMPARE(got, 2.5);
}

void TestSlideInterval::entry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("seconds");

    QTest::newRow("ten") << "10" << true << 10;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("empty box is zero") << "" << true << 0;
    QTest::newRow("words are zero") << "soon" << true << 0;
    QTest::newRow("2.5 gives 2") << "2.5" << true << 2;
    QTest::newRow("3.5 gives 4") << "3.5" << true << 4;
    QTest::newRow("7x gives 7") << "7x" << true << 7;
    QTest::newRow("above the old 16-bit product") << "33" << true << 33;
    QTest::newRow("largest") << "32767" << true << 32767;
    QTest::newRow("one above largest") << "32768" << false << 0;
    QTest::newRow("rounds above largest") << "32767.5" << false << 0;
    QTest::newRow("rounds onto largest") << "32767.4" << true << 32767;
    QTest::newRow("negative") << "-5" << false << 0;
    QTest::newRow("small negative rounds to zero") << "-0.4" << true << 0;
    QTest::newRow("minus one half rounds to zero") << "-0.5" << true << 0;
    QTest::newRow("huge") << "1e999" << false << 0;
    QTest::newRow("huge negative") << "-1e999" << false << 0;
}

void TestSlideInterval::entry()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, seconds);
    const IntervalEntry e = readIntervalEntry(text);
    QCOMPARE(e.accepted, accepted);
    if (accepted) {
        QCOMPARE(e.seconds, seconds);
        QVERIFY(e.reason.isEmpty());
    } else {
        QVERIFY(e.reason.contains(QStringLiteral("32767")));
    }
}

void TestSlideInterval::milliseconds_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("ms");
    QTest::newRow("one second") << 1 << 1000;
    QTest::newRow("32 s, the old limit") << 32 << 32000;
    QTest::newRow("33 s, past the old limit") << 33 << 33000;
    QTest::newRow("largest") << 32767 << 32767000;
}

void TestSlideInterval::milliseconds()
{
    QFETCH(int, seconds);
    QFETCH(int, ms);
    QCOMPARE(intervalMilliseconds(seconds), ms);
}

QTEST_GUILESS_MAIN(TestSlideInterval)
#include "test_slideinterval.moc"
