#include "common/requests.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace vistrel;

namespace {

// A place that does not answer until the test lets it.
struct Latch
{
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        opened.wait(lock, [this] { return open; });
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
};

// Counts what the works did, across threads.
struct Tally
{
    std::atomic<int> runs{0};
    std::atomic<bool> ranOnCaller{false};
    Qt::HANDLE caller = QThread::currentThreadId();
};

std::function<int()> blocked(std::shared_ptr<Latch> latch, std::shared_ptr<Tally> tally, int value)
{
    return [latch, tally, value] {
        if (QThread::currentThreadId() == tally->caller)
            tally->ranOnCaller = true;
        latch->wait();
        ++tally->runs;
        return value;
    };
}

class FakeClock : public Clock
{
public:
    void after(std::chrono::milliseconds delay, QObject *context,
               std::function<void()> ring) override
    {
        m_alarms.push_back({m_now + delay, context, std::move(ring)});
    }
    void advance(std::chrono::milliseconds by)
    {
        m_now += by;
        auto alarms = std::move(m_alarms);
        m_alarms.clear();
        for (Alarm &alarm : alarms) {
            if (alarm.due > m_now)
                m_alarms.push_back(std::move(alarm));
            else if (alarm.context)
                alarm.ring();
        }
    }

private:
    struct Alarm
    {
        std::chrono::milliseconds due;
        QPointer<QObject> context;
        std::function<void()> ring;
    };
    std::chrono::milliseconds m_now{0};
    std::vector<Alarm> m_alarms;
};

std::atomic<bool> g_noThreads{false};
bool failingStarter(void (*body)())
{
    if (g_noThreads)
        return false;
    std::thread(body).detach();
    return true;
}

enum class Shape { Plain, Line, Shared, Below, Files, Spread, OwnerGone };

QString dead(int i = 0)
{
    return QStringLiteral("/dead/place%1").arg(i);
}

} // namespace

Q_DECLARE_METATYPE(Shape)

class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    // First: with every thread of the pool yet to be made.
    void noThreadToBeHad();
    void deadPlaces_data();
    void deadPlaces();
    void startNowTakeLater();
    void silenceToldOnce();
};

void TestRequests::deadPlaces_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("busy");    // threads at work while the places are dead
    QTest::addColumn<int>("runs");    // works that ran once the places answer
    QTest::addColumn<int>("answers"); // late answers taken

    QTest::newRow("one request") << Shape::Plain << 1 << 1 << 1 << 1;
    QTest::newRow("twenty requests for one place") << Shape::Plain << 20 << 1 << 20 << 20;
    QTest::newRow("twenty requests below it") << Shape::Below << 20 << 1 << 20 << 20;
    QTest::newRow("twenty files of one folder") << Shape::Files << 20 << 1 << 20 << 20;
    QTest::newRow("a line: only the first and the newest run") << Shape::Line << 20 << 1 << 2 << 1;
    QTest::newRow("a shared read: one run for all") << Shape::Shared << 5 << 1 << 1 << 5;
    QTest::newRow("twenty places: the bound, then a queue")
        << Shape::Spread << 20 << Requests::threadBound << 20 << 20;
    QTest::newRow("owner gone: its waiting requests do not run")
        << Shape::OwnerGone << 10 << 1 << 2 << 1;
}

void TestRequests::deadPlaces()
{
    QFETCH(Shape, shape);
    QFETCH(int, requests);
    QFETCH(int, busy);
    QFETCH(int, runs);
    QFETCH(int, answers);

    const auto latch = std::make_shared<Latch>();
    const auto tally = std::make_shared<Tally>();
    // Nothing is left blocked for the next rows, whatever this one finds.
    const auto opener = qScopeGuard([latch] { latch->release(); });
    QObject owner;
    auto gone = std::make_unique<QObject>();
    Requests reads(&owner);
    auto goneReads = std::make_unique<Requests>(gone.get());
    RequestLine line(reads);
    std::vector<int> answered;
    const auto take = [&answered](int value) { answered.push_back(value); };

    for (int i = 0; i < requests; ++i) {
        Request request(dead(shape == Shape::Spread ? i : 0));
        if (shape == Shape::Files)
            request = Request::fileAt(dead() + QStringLiteral("/p%1.jpg").arg(i));
        if (shape == Shape::Below && i > 0)
            request.place += QStringLiteral("/sub%1/file.jpg").arg(i);
        if (shape == Shape::Shared)
            request.shared = QStringLiteral("listing");
        const auto work = blocked(latch, tally, i);
        std::optional<int> now;
        if (shape == Shape::Line)
            now = line.run<int>(request, work, take);
        else if (shape == Shape::OwnerGone && i < requests - 1)
            now = goneReads->run<int>(request, work, take);
        else
            now = reads.run<int>(request, work, take);
        QVERIFY(!now);
    }
    QTRY_COMPARE(Requests::busyThreads(), busy);
    QVERIFY(Requests::isUnanswered(dead()));
    QVERIFY(Requests::isUnanswered(dead() + QStringLiteral("/below")));
    QVERIFY(!Requests::isUnanswered(dead() + QStringLiteral("x")));
    if (shape == Shape::OwnerGone) {
        goneReads.reset();
        gone.reset();
    }

    latch->release();
    QTRY_VERIFY_WITH_TIMEOUT(int(answered.size()) >= answers, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Requests::busyThreads(), 0, 20000);
    QCOMPARE(tally->runs.load(), runs);
    QCOMPARE(int(answered.size()), answers);
    // The newest request runs last: an answer that should have been dropped came before it.
    if (shape == Shape::Line || shape == Shape::OwnerGone)
        QCOMPARE(answered.back(), requests - 1);
    QVERIFY(!tally->ranOnCaller);
    QVERIFY(Requests::threads() <= Requests::threadBound);
    QVERIFY(!Requests::isUnanswered(dead()));
}

// With no thread to be had the work waits for one, and is never run on the caller's thread.
void TestRequests::noThreadToBeHad()
{
    const auto latch = std::make_shared<Latch>();
    const auto tally = std::make_shared<Tally>();
    QObject owner;
    Requests reads(&owner);
    QVERIFY(Requests::threads() < Requests::threadBound);
    // Every thread kept is taken by a place that does not answer.
    const int kept = Requests::threads() - Requests::busyThreads();
    const auto holders = std::make_shared<Latch>();
    for (int i = 0; i < kept; ++i)
        reads.run<int>({dead(100 + i)}, blocked(holders, std::make_shared<Tally>(), i), [](int) {});
    QTRY_COMPARE(Requests::busyThreads(), kept);

    Requests::setThreadStarter(&failingStarter);
    g_noThreads = true;
    std::optional<int> late;
    latch->release(); // the work would answer at once, were it run
    const std::optional<int> now =
        reads.run<int>({dead(1)}, blocked(latch, tally, 7), [&late](int v) { late = v; });
    QVERIFY(!now);
    QCOMPARE(tally->runs.load(), 0);
    g_noThreads = false; // the pool tries again by itself
    QTRY_COMPARE_WITH_TIMEOUT(late, std::optional<int>(7), 20000);
    QVERIFY(!tally->ranOnCaller);
    Requests::setThreadStarter(nullptr);
    holders->release();
    QTRY_COMPARE_WITH_TIMEOUT(Requests::busyThreads(), 0, 20000);
}

void TestRequests::startNowTakeLater()
{
    const auto latch = std::make_shared<Latch>();
    const auto tally = std::make_shared<Tally>();
    // Taken before it answered: the answer goes to late.
    EarlyRequest<int> slow({dead(2)}, blocked(latch, tally, 3));
    std::optional<int> late;
    QVERIFY(!slow.take([&late](int v) { late = v; }, std::chrono::milliseconds(0)));
    latch->release();
    QTRY_COMPARE_WITH_TIMEOUT(late, std::optional<int>(3), 20000);

    // Taken after it answered: at once, whatever the wait.
    EarlyRequest<int> done({dead(3)}, blocked(latch, tally, 4));
    QTRY_COMPARE_WITH_TIMEOUT(tally->runs.load(), 2, 20000);
    QCOMPARE(done.take([](int) { QFAIL("answered twice"); }, std::chrono::milliseconds(0)),
             std::optional<int>(4));
}

void TestRequests::silenceToldOnce()
{
    FakeClock fake;
    Clock *const real = setClock(&fake);
    const auto latch = std::make_shared<Latch>();
    const auto tally = std::make_shared<Tally>();
    QObject owner;
    Requests reads(&owner);
    PendingNotice notice;
    QStringList told;
    notice.pending = [&told](const QString &place) { told << QStringLiteral("pending ") + place; };
    notice.silent = [&told](const QString &place) { told << QStringLiteral("silent ") + place; };
    RequestLine line(reads, &notice);
    bool answered = false;
    line.run<int>({dead(4)}, blocked(latch, tally, 1), [&answered](int) { answered = true; });
    fake.advance(Requests::silence - std::chrono::milliseconds(1));
    QCOMPARE(told, QStringList{QStringLiteral("pending ") + dead(4)});
    fake.advance(std::chrono::milliseconds(1));
    fake.advance(Requests::silence);
    latch->release();
    QTRY_VERIFY_WITH_TIMEOUT(answered, 20000);
    QCOMPARE(told, (QStringList{QStringLiteral("pending ") + dead(4),
                                QStringLiteral("silent ") + dead(4), QStringLiteral("pending ")}));
    setClock(real);
}

QTEST_GUILESS_MAIN(TestRequests)
#include "test_requests.moc"
