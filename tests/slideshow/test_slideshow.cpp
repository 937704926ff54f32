// The show's stepping: start, cancel, stop, ticks, wrap-around, a list that changes under it.

#include "slideshow/slideshow.h"

#include <QSignalSpy>

#include <QTest>
#include <functional>

using namespace vistrel;

namespace {

// The picture list as the show sees it: selecting an index "displays" it, which records the
// index and writes curslide, as the real display does; a failing picture clears the selection
// (curslide -1), as the display does after telling the fault. A picture with bad content keeps
// its selection and is reported, as the display does when it asks whether to delete it.
class FakeList final : public SlideTarget
{
public:
    int pictures = 0;
    int current = 0;
    QList<int> failing;
    QList<int> badContent;
    std::function<void(int)> report;
    QList<int> shown;

    int count() const override { return pictures; }
    void select(int index) override
    {
        QVERIFY2(index >= 0 && index < pictures, "selected outside the list");
        shown.append(index);
        current = failing.contains(index) ? -1 : index;
        if (badContent.contains(index) && report)
            report(index);
    }
    int curslide() const override { return current; }
    void setCurslide(int index) override { current = index; }
    QString key(int index) const override { return QString::number(index); }
};

// A timer that ticks only when the test says so.
class FakeTimer final : public SlideTimer
{
public:
    bool active = false;
    int interval = -1;
    int starts = 0;

    void start(int milliseconds) override
    {
        active = true;
        interval = milliseconds;
        ++starts;
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    void fire()
    {
        if (active)
            emit timeout();
    }
};

// An asker that answers as scripted and may set the interval, counting how often it was asked.
struct Answer
{
    bool start = true;
    int interval = -1; // -1: leave the interval as it is
    int asked = 0;
};

SlideShow::IntervalAsker scripted(Answer &answer)
{
    return [&answer](int &interval) {
        ++answer.asked;
        if (answer.interval >= 0)
            interval = answer.interval;
        return answer.start;
    };
}

// A show over a fake list of the given size, its fake timer and a scripted asker.
struct Fixture
{
    FakeList list;
    FakeTimer timer;
    Answer answer;
    SlideShow show{list, &timer};

    explicit Fixture(int pictures, int current = 0)
    {
        list.pictures = pictures;
        list.current = current;
        show.setIntervalAsker(scripted(answer));
    }
};

} // namespace

class TestSlideShow : public QObject
{
    Q_OBJECT

private slots:
    void startShowsCurrentAtOnceThenRuns();
    void declinedQuestionLeavesShowStopped_data();
    void declinedQuestionLeavesShowStopped();
    void stopNeedsNoQuestion();
    void restartContinuesAfterLastShown();
    void wrapsRoundFromTheLastButOne();
    void startBeyondTheListBeginsAtFirst();
    void userSelectionIsWhereTheShowGoesOn();
    void listShrinkingUnderRunningShowWraps();
    void emptyListThenPicturesArrive();
    void zeroIntervalShowsFirstAndStandsStill();
    void longIntervalsRunAsTyped();
    void tickAfterStopDoesNothing();
    void pictureThatCannotBeShownIsPassed_data();
    void pictureThatCannotBeShownIsPassed();
};

void TestSlideShow::startShowsCurrentAtOnceThenRuns()
{
    FakeList list;
    list.pictures = 5;
    list.current = 3;
    FakeTimer timer;
    SlideShow show(list, &timer);
    Answer answer;
    answer.interval = 4;
    show.setIntervalAsker(scripted(answer));
    QSignalSpy running(&show, &SlideShow::runningChanged);

    show.toggleslideshow();

    QCOMPARE(answer.asked, 1);
    QVERIFY(show.slideshowonoff());
    QCOMPARE(show.slideshowinterval(), 4);
    QCOMPARE(list.shown, QList<int>({3}));
    QCOMPARE(list.current, 4);
    QVERIFY(timer.active);
    QCOMPARE(timer.interval, 4000);
    QCOMPARE(running.count(), 1);
    QCOMPARE(running.at(0).at(0).toBool(), true);

    timer.fire();
    QCOMPARE(list.shown, QList<int>({3, 4}));
}

void TestSlideShow::declinedQuestionLeavesShowStopped_data()
{
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("kept");
    QTest::newRow("cancel keeps the typed interval") << 5 << 5;
    QTest::newRow("close box takes nothing") << -1 << 10;
}

void TestSlideShow::declinedQuestionLeavesShowStopped()
{
    QFETCH(int, typed);
    QFETCH(int, kept);
    FakeList list;
    list.pictures = 3;
    FakeTimer timer;
    SlideShow show(list, &timer);
    Answer answer;
    answer.start = false;
    answer.interval = typed;
    show.setIntervalAsker(scripted(answer));
    QSignalSpy running(&show, &SlideShow::runningChanged);

    show.toggleslideshow();

    QVERIFY(!show.slideshowonoff());
    QCOMPARE(show.slideshowinterval(), kept);
    QVERIFY(list.shown.isEmpty());
    QVERIFY(!timer.active);
    // The button toggled by the click must be put back.
    QCOMPARE(running.count(), 1);
    QCOMPARE(running.at(0).at(0).toBool(), false);
    timer.fire();
    QVERIFY(list.shown.isEmpty());
}

void TestSlideShow::stopNeedsNoQuestion()
{
    Fixture f(3);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow();
    QSignalSpy running(&show, &SlideShow::runningChanged);

    show.toggleslideshow();

    QCOMPARE(answer.asked, 1);
    QVERIFY(!show.slideshowonoff());
    QVERIFY(!timer.active);
    QCOMPARE(running.count(), 1);
    QCOMPARE(running.at(0).at(0).toBool(), false);
}

void TestSlideShow::restartContinuesAfterLastShown()
{
    Fixture f(5);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow(); // shows 0
    timer.fire();           // 1
    timer.fire();           // 2
    show.toggleslideshow(); // stop
    show.toggleslideshow(); // start again
    QCOMPARE(list.shown, QList<int>({0, 1, 2, 3}));
}

void TestSlideShow::wrapsRoundFromTheLastButOne()
{
    Fixture f(3, 2);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow();
    for (int i = 0; i < 4; ++i)
        timer.fire();
    QCOMPARE(list.shown, QList<int>({2, 0, 1, 2, 0}));
}

void TestSlideShow::startBeyondTheListBeginsAtFirst()
{
    Fixture f(3, 3);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow();
    QCOMPARE(list.shown, QList<int>({0}));
}

void TestSlideShow::userSelectionIsWhereTheShowGoesOn()
{
    Fixture f(6);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow(); // 0
    list.select(4);         // the user clicks picture 4; the display writes curslide
    timer.fire();           // 4 stays one more interval
    timer.fire();
    QCOMPARE(list.shown, QList<int>({0, 4, 4, 5}));
}

void TestSlideShow::listShrinkingUnderRunningShowWraps()
{
    Fixture f(6, 4);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow(); // 4, next 5
    list.pictures = 2;      // a folder with two pictures is chosen
    timer.fire();
    timer.fire();
    timer.fire();
    QVERIFY(show.slideshowonoff());
    QCOMPARE(list.shown, QList<int>({4, 0, 1, 0}));
}

void TestSlideShow::emptyListThenPicturesArrive()
{
    FakeList list;
    list.current = 2;
    FakeTimer timer;
    SlideShow show(list, &timer);
    Answer answer;
    show.setIntervalAsker(scripted(answer));
    show.toggleslideshow();
    timer.fire();
    QVERIFY(show.slideshowonoff());
    QVERIFY(timer.active);
    QVERIFY(list.shown.isEmpty());

    list.pictures = 2; // automatic refresh brings pictures in
    timer.fire();
    timer.fire();
    timer.fire();
    QCOMPARE(list.shown, QList<int>({0, 1, 0}));
}

void TestSlideShow::zeroIntervalShowsFirstAndStandsStill()
{
    FakeList list;
    list.pictures = 3;
    list.current = 1;
    FakeTimer timer;
    SlideShow show(list, &timer);
    Answer answer;
    answer.interval = 0;
    show.setIntervalAsker(scripted(answer));
    show.toggleslideshow();
    QVERIFY(show.slideshowonoff());
    QCOMPARE(list.shown, QList<int>({1}));
    QCOMPARE(timer.starts, 0);
    QVERIFY(!timer.active);
    // The next opening offers 10 again; stopping needs no question.
    show.toggleslideshow();
    QVERIFY(!show.slideshowonoff());
}

void TestSlideShow::longIntervalsRunAsTyped()
{
    FakeList list;
    list.pictures = 2;
    FakeTimer timer;
    SlideShow show(list, &timer);
    Answer answer;
    answer.interval = 32767;
    show.setIntervalAsker(scripted(answer));
    show.toggleslideshow();
    QCOMPARE(timer.interval, 32767000);
}

void TestSlideShow::tickAfterStopDoesNothing()
{
    Fixture f(3);
    auto &[list, timer, answer, show] = f;
    show.toggleslideshow();
    show.stop();
    show.slidetimer_Timer(); // a tick already queued when the show stopped
    QCOMPARE(list.shown, QList<int>({0}));
}

void TestSlideShow::pictureThatCannotBeShownIsPassed_data()
{
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QList<int>>("failing");
    QTest::addColumn<QList<int>>("badContent");
    QTest::addColumn<QString>("event"); // what happens after tick afterTick
    QTest::addColumn<int>("afterTick");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QList<int>>("selected");
    const QList<int> none;
    QTest::newRow("told once, then passed over")
        << 4 << QList<int>{1} << none << "" << -1 << 6 << QList<int>{0, 1, 2, 3, 0, 2, 3};
    QTest::newRow("the last one fails: on to the first")
        << 3 << QList<int>{2} << none << "" << -1 << 4 << QList<int>{0, 1, 2, 0, 1};
    QTest::newRow("none can be shown: each told once, then the show waits")
        << 2 << QList<int>{0, 1} << none << "" << -1 << 3 << QList<int>{0, 1};
    QTest::newRow("selection cleared after its tick: on after it")
        << 4 << none << none << "cleared" << 1 << 3 << QList<int>{0, 1, 2, 3};
    QTest::newRow("bad content: asked about once, then passed over")
        << 3 << none << QList<int>{1} << "" << -1 << 4 << QList<int>{0, 1, 2, 0, 2};
    QTest::newRow("view mode changed: shown again where it can be")
        << 3 << QList<int>{1} << none << "mode" << 2 << 5 << QList<int>{0, 1, 2, 0, 1, 2};
    QTest::newRow("a question open: the show waits for it")
        << 3 << none << none << "question" << 1 << 4 << QList<int>{0, 1, 2, 0};
}

void TestSlideShow::pictureThatCannotBeShownIsPassed()
{
    QFETCH(int, pictures);
    QFETCH(QList<int>, failing);
    QFETCH(QList<int>, badContent);
    QFETCH(QString, event);
    QFETCH(int, afterTick);
    QFETCH(int, ticks);
    Fixture f(pictures);
    auto &[list, timer, answer, show] = f;
    list.failing = failing;
    list.badContent = badContent;
    list.report = [&show = f.show](int index) { show.passOver(index); };
    bool questionOpen = false;
    show.setHeld([&questionOpen] { return questionOpen; });
    show.toggleslideshow();
    for (int tick = 1; tick <= ticks; ++tick) {
        timer.fire();
        questionOpen = false; // answered by the next tick
        if (tick != afterTick)
            continue;
        if (event == QLatin1String("cleared"))
            list.current = -1; // a display that ends after the tick could not show its picture
        if (event == QLatin1String("mode")) {
            list.failing.clear();
            show.forgetPassedOver();
        }
        questionOpen = event == QLatin1String("question");
    }
    QVERIFY(show.slideshowonoff());
    QTEST(list.shown, "selected");
}

QTEST_GUILESS_MAIN(TestSlideShow)
#include "test_slideshow.moc"
