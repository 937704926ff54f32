// The interval dialog: what it offers, what OK and Cancel take, the range check.

#include "slideshow/slideshowinfodialog.h"

#include "testutils.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

using namespace vistrel;

namespace {

QLineEdit *box(SlideShowInfoDialog &d)
{
    return d.findChild<QLineEdit *>(QStringLiteral("sldshowint"));
}

QPushButton *button(SlideShowInfoDialog &d, const char *name)
{
    return d.findChild<QPushButton *>(QString::fromLatin1(name));
}

} // namespace

class TestSlideShowInfoDialog : public QObject
{
    Q_OBJECT

private slots:
    void layoutInTwips();
    void captionShowsWhole_data();
    void captionShowsWhole();
    void offersTheInterval_data();
    void offersTheInterval();
    void okTakesTheRoundedEntry_data();
    void okTakesTheRoundedEntry();
    void outOfRangeIsRefusedAndStaysOpen_data();
    void outOfRangeIsRefusedAndStaysOpen();
    void cancelKeepsTypedInterval();
    void cancelWithOutOfRangeKeepsTheOldOne();
    void closingTakesNothing();
};

void TestSlideShowInfoDialog::layoutInTwips()
{
    SlideShowInfoDialog d(10);
    QCOMPARE(d.windowTitle(), QStringLiteral("Slide Show Info"));
    // As drawn up, but for the interval box and the dialog widening to the right where the
    // largest interval would not show whole, and the dialog where its caption would not.
    const int extra = box(d)->width() - 25;
    QVERIFY(extra >= 0);
    QVERIFY(d.width() >= 172 + extra);
    QCOMPARE(d.height(), 95);
    const QLabel *label = d.findChild<QLabel *>(QStringLiteral("Label1"));
    QCOMPARE(label->text(), QStringLiteral("Enter Slide Show interval:"));
    QCOMPARE(label->geometry(), QRect(8, 8, 129, 17));
    // The whole prompt is readable in the box it is given, whatever the desktop font.
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <=
            label->contentsRect().width());
    QCOMPARE(box(d)->geometry(), QRect(144, 8, 25 + extra, 25));
    const int frame = box(d)->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box(d));
    QVERIFY(box(d)->fontMetrics().horizontalAdvance(QStringLiteral("32767")) + 2 * frame + 4 <
            box(d)->width());
    QCOMPARE(button(d, "btnok")->text(), QStringLiteral("&Ok"));
    QCOMPARE(button(d, "btnok")->geometry(), QRect(8, 40, 65, 49));
    QCOMPARE(button(d, "Command1")->text(), QStringLiteral("&Cancel"));
    QCOMPARE(button(d, "Command1")->geometry(), QRect(96, 40, 65, 49));
}

void TestSlideShowInfoDialog::captionShowsWhole_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("least");
    // The narrowest widths at which openbox's title bar, in its font at the same size and bold,
    // showed "Slide Show Info" whole (DejaVu Sans).
    QTest::newRow("9 pt") << 9.0 << 230;
    QTest::newRow("11 pt") << 11.0 << 270;
}

void TestSlideShowInfoDialog::captionShowsWhole()
{
    QFETCH(double, points);
    QFETCH(int, least);
    const QFont interfaceFont = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(interfaceFont); });
    QFont font = interfaceFont;
    font.setPointSizeF(points);
    QApplication::setFont(font);
    SlideShowInfoDialog d(10);
    QVERIFY2(d.width() >= least, qPrintable(QString::number(d.width())));
    // The controls keep their places.
    QCOMPARE(button(d, "Command1")->geometry(), QRect(96, 40, 65, 49));
}

void TestSlideShowInfoDialog::offersTheInterval_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<int>("leftIfClosed");
    QTest::newRow("ten") << 10 << "10" << 10;
    QTest::newRow("zero offers ten") << 0 << "10" << 10;
    QTest::newRow("long one") << 600 << "600" << 600;
}

void TestSlideShowInfoDialog::offersTheInterval()
{
    QFETCH(int, interval);
    QFETCH(QString, offered);
    QFETCH(int, leftIfClosed);
    SlideShowInfoDialog d(interval);
    QCOMPARE(box(d)->text(), offered);
    QCOMPARE(d.interval(), leftIfClosed);
    QVERIFY(!d.startRequested());
}

void TestSlideShowInfoDialog::okTakesTheRoundedEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("taken");
    QTest::newRow("2.5 gives 2") << "2.5" << 2;
    QTest::newRow("3.5 gives 4") << "3.5" << 4;
    QTest::newRow("7x gives 7") << "7x" << 7;
    QTest::newRow("empty gives 0") << "" << 0;
    QTest::newRow("beyond the old 32 s") << "120" << 120;
    QTest::newRow("largest") << "32767" << 32767;
}

void TestSlideShowInfoDialog::okTakesTheRoundedEntry()
{
    QFETCH(QString, typed);
    QFETCH(int, taken);
    test::ScopedServices services;
    SlideShowInfoDialog d(10);
    box(d)->setText(typed);
    QTest::mouseClick(button(d, "btnok"), Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(d.startRequested());
    QCOMPARE(d.interval(), taken);
    QVERIFY(services.prompts.shown.isEmpty());
}

void TestSlideShowInfoDialog::outOfRangeIsRefusedAndStaysOpen_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("negative") << "-5";
    QTest::newRow("one above largest") << "32768";
    QTest::newRow("huge") << "1e999";
}

void TestSlideShowInfoDialog::outOfRangeIsRefusedAndStaysOpen()
{
    QFETCH(QString, typed);
    test::ScopedServices services;
    SlideShowInfoDialog d(10);
    d.show();
    box(d)->setText(typed);
    QTest::mouseClick(button(d, "btnok"), Qt::LeftButton);

    QVERIFY(d.isVisible());
    QVERIFY(!d.startRequested());
    QCOMPARE(d.interval(), 10);
    QCOMPARE(services.prompts.count(test::ScriptedPrompter::Critical), 1);
    QVERIFY(services.prompts.shown.at(0).prompt.contains(QStringLiteral("32767")));

    // Corrected, it is taken.
    box(d)->setText(QStringLiteral("15"));
    QTest::mouseClick(button(d, "btnok"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QVERIFY(d.startRequested());
    QCOMPARE(d.interval(), 15);
}

void TestSlideShowInfoDialog::cancelKeepsTypedInterval()
{
    SlideShowInfoDialog d(10);
    d.show();
    box(d)->setText(QStringLiteral("5"));
    QTest::mouseClick(button(d, "Command1"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(!d.startRequested());
    QCOMPARE(d.interval(), 5);
}

void TestSlideShowInfoDialog::cancelWithOutOfRangeKeepsTheOldOne()
{
    test::ScopedServices services;
    SlideShowInfoDialog d(12);
    box(d)->setText(QStringLiteral("99999"));
    QTest::mouseClick(button(d, "Command1"), Qt::LeftButton);
    QVERIFY(!d.startRequested());
    QCOMPARE(d.interval(), 12);
    QVERIFY(services.prompts.shown.isEmpty());
}

void TestSlideShowInfoDialog::closingTakesNothing()
{
    SlideShowInfoDialog d(8);
    d.show();
    box(d)->setText(QStringLiteral("20"));
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QVERIFY(!d.startRequested());
    QCOMPARE(d.interval(), 8);
}

QTEST_MAIN(TestSlideShowInfoDialog)
#include "test_slideshowinfodialog.moc"
