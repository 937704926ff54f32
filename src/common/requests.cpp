#include "common/requests.h"

#include "common/seamslot.h"

#include <QCoreApplication>
#include <QTimer>

#include <pthread.h>

#include <deque>
#include <new>
#include <system_error>
#include <thread>

namespace vistrel {

namespace requestdetail {
namespace {

using std::chrono::steady_clock;

// The place path is at or below above.
bool covers(const QString &above, const QString &path)
{
    if (above.isEmpty() || !path.startsWith(above))
        return false;
    return path.size() == above.size() || above.endsWith(QLatin1Char('/')) ||
           path.at(above.size()) == QLatin1Char('/');
}

bool startThread(void (*body)())
{
    try {
        std::thread(body).detach();
        return true;
    } catch (const std::system_error &) {
        return false; // the process is at its limit of threads or memory
    }
}

// The threads and the jobs of every owner. Made once and never destroyed: a worker stuck in the
// kernel may touch it while the program ends.
struct Pool
{
    std::mutex mutex;
    std::condition_variable work;
    std::deque<std::shared_ptr<Job>> ready;   // to run, in order, as threads come free
    std::vector<std::shared_ptr<Job>> parked; // waiting for their place to answer
    std::vector<std::shared_ptr<Job>> running;
    int threads = 0;
    int idle = 0;
    bool retrying = false;
    Requests::ThreadStarter starter = &startThread;

    // A running job past its quick answer: its unit (and what is below) does not answer, and a
    // thread more would only join it.
    static bool overdue(const Job &job, steady_clock::time_point now)
    {
        return job.gaveUp || now - job.startedAt >= Request::quickAnswer;
    }
    bool blocked(const QString &place) const
    {
        const auto now = steady_clock::now();
        for (const auto &other : running) {
            if (covers(other->unit, place) && overdue(*other, now))
                return true;
        }
        return false;
    }
    std::shared_ptr<Job> findShared(const Job &job) const
    {
        if (job.shared.isEmpty())
            return {};
        const auto same = [&job](const std::shared_ptr<Job> &other) {
            return other->shared == job.shared && other->place == job.place;
        };
        for (const auto *jobs : {&running, &parked}) {
            const auto at = std::find_if(jobs->begin(), jobs->end(), same);
            if (at != jobs->end())
                return *at;
        }
        const auto at = std::find_if(ready.begin(), ready.end(), same);
        return at != ready.end() ? *at : std::shared_ptr<Job>();
    }
    // Threads for the jobs ready, within the bound. False when the jobs must wait for one.
    bool staff()
    {
        while (int(ready.size()) > idle && threads < Requests::threadBound) {
            if (!starter(&workerLoop)) {
                retryLater();
                return false;
            }
            ++threads;
            ++idle; // counted as free until it takes a job
        }
        work.notify_all();
        return int(ready.size()) <= idle;
    }
    // Without a thread the jobs wait: tried again in a while, never run on the caller's thread.
    void retryLater()
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (retrying || !app)
            return;
        retrying = true;
        QMetaObject::invokeMethod(
            app,
            [app] {
                QTimer::singleShot(std::chrono::milliseconds(100), app, [] {
                    Pool &p = pool();
                    const std::lock_guard<std::mutex> lock(p.mutex);
                    p.retrying = false;
                    p.staff();
                });
            },
            Qt::QueuedConnection);
    }
    // A job returned: those waiting for its place may go, one for each unit.
    void release()
    {
        std::vector<QString> units;
        for (auto at = parked.begin(); at != parked.end();) {
            Job &job = **at;
            if (!job.wanted()) {
                at = parked.erase(at);
                continue;
            }
            const bool sameAsReleased =
                std::any_of(units.begin(), units.end(), [&job](const QString &unit) {
                    return covers(unit, job.place) || covers(job.unit, unit);
                });
            if (sameAsReleased || blocked(job.place)) {
                ++at;
                continue;
            }
            units.push_back(job.unit);
            ready.push_back(std::move(*at));
            at = parked.erase(at);
        }
        staff();
    }

    static Pool &pool()
    {
        static Pool *const made = [] {
            auto *p = new Pool; // never destroyed, see above
            // A child process (a test's unprivileged run, say) has none of the threads.
            ::pthread_atfork([] { pool().mutex.lock(); }, [] { pool().mutex.unlock(); },
                             [] {
                                 Pool &c = pool();
                                 c.threads = 0;
                                 c.idle = 0;
                                 c.running.clear();
                                 c.retrying = false;
                                 // Its waiters are gone with their threads.
                                 new (&c.work) std::condition_variable;
                                 c.mutex.unlock();
                             });
            return p;
        }();
        return *made;
    }

    static void workerLoop()
    {
        Pool &p = pool();
        std::unique_lock<std::mutex> lock(p.mutex);
        for (;;) {
            // Counted idle from its start (staff) or from its last job.
            p.work.wait(lock, [&p] { return !p.ready.empty(); });
            std::shared_ptr<Job> job = std::move(p.ready.front());
            p.ready.pop_front();
            if (!job->wanted())
                continue; // nobody is left to take the answer
            --p.idle;
            job->running = true;
            job->startedAt = steady_clock::now();
            p.running.push_back(job);
            lock.unlock();
            job->execute();
            lock.lock();
            p.running.erase(std::find(p.running.begin(), p.running.end(), job));
            job->running = false;
            ++p.idle;
            p.release();
        }
    }
};

} // namespace

std::shared_ptr<Job> submit(std::shared_ptr<Job> job, const std::function<bool(Job &)> &join,
                            bool *handed)
{
    Pool &p = Pool::pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    if (const std::shared_ptr<Job> there = p.findShared(*job); there && join(*there)) {
        *handed =
            there->running || std::find(p.ready.begin(), p.ready.end(), there) != p.ready.end();
        return there;
    }
    if (p.blocked(job->place)) {
        p.parked.push_back(job);
        *handed = false;
        return job;
    }
    p.ready.push_back(job);
    *handed = p.staff();
    return job;
}

} // namespace requestdetail

using requestdetail::Pool;

namespace {

class RealClock : public Clock
{
public:
    void after(std::chrono::milliseconds delay, QObject *context,
               std::function<void()> ring) override
    {
        QTimer::singleShot(delay, context, std::move(ring));
    }
};

SeamSlot<Clock> &clockSlot()
{
    static RealClock real;
    static SeamSlot<Clock> slot(real);
    return slot;
}

} // namespace

Clock &clock()
{
    return clockSlot().get();
}

Clock *setClock(Clock *replacement)
{
    return clockSlot().replace(replacement);
}

QString Request::unit() const
{
    if (!file)
        return place;
    const qsizetype slash = place.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? place.left(1) : place.left(slash);
}

Requests::Requests(QObject *owner) : m_mailbox(std::make_shared<requestdetail::Mailbox>())
{
    m_mailbox->owner = owner;
}

Requests::~Requests()
{
    // Answers still to come are dropped; calls already posted go with the owner's events.
    const std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
    m_mailbox->alive = false;
}

bool Requests::isUnanswered(const QString &place)
{
    Pool &p = Pool::pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    return !place.isEmpty() && p.blocked(place);
}

int Requests::threads()
{
    Pool &p = Pool::pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    return p.threads;
}

int Requests::busyThreads()
{
    Pool &p = Pool::pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    return int(p.running.size());
}

Requests::ThreadStarter Requests::setThreadStarter(ThreadStarter starter)
{
    Pool &p = Pool::pool();
    const std::lock_guard<std::mutex> lock(p.mutex);
    const ThreadStarter previous = p.starter;
    p.starter = starter ? starter : &requestdetail::startThread;
    if (starter == nullptr)
        p.staff();
    return previous;
}

void PendingNotice::wait(const void *line, const QString &place)
{
    const bool fresh = m_waiting.empty() || place != m_place;
    m_waiting[line] = place;
    if (!fresh)
        return;
    m_place = place;
    const quint64 episode = ++m_episode;
    clock().after(Requests::silence, &m_context, [this, episode] {
        if (episode == m_episode && isPending() && silent)
            silent(m_place);
    });
    if (pending)
        pending(place);
}

void PendingNotice::answered(const void *line)
{
    if (m_waiting.erase(line) == 0 || !m_waiting.empty())
        return;
    ++m_episode;
    if (pending)
        pending(QString());
}

} // namespace vistrel
