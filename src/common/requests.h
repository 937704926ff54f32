#pragma once

#include "common/notices.h"

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vistrel {

// Work that may block (a read of storage, a request to a service) goes through one request type;
// docs/design.md, "Work that may block", states the contract. In short: `Requests` (a member of
// the owning QObject, declared last) runs work on a bounded pool of kept threads, hands back an
// answer that comes within the quick answer, and posts a later one to the owner's thread unless
// the owner is gone; `RequestLine` keeps only the newest of its requests; `EarlyRequest` starts
// now and is taken later. What is told meanwhile is in common/notices.h.

// When a request names no place, shares no read, or waits the usual quick answer.
struct Request
{
    static constexpr std::chrono::milliseconds quickAnswer{40};

    Request() = default;
    // A request for place (taken for one wherever a request is wanted).
    Request(QString place_, QString shared_ = {}, std::chrono::milliseconds wait_ = quickAnswer)
        : place(std::move(place_)), shared(std::move(shared_)), wait(wait_)
    {}

    // The folder or file the work reads, as an absolute path; empty when it reads none.
    QString place;
    // The kind of read: requests of one kind at one place share one read (and its answer).
    QString shared;
    std::chrono::milliseconds wait = quickAnswer;
    // What a pending notice names, when not the place (work that reads nothing, for a folder).
    QString about;
    // The place is a file: a look at it that does not answer is taken for its folder's storage
    // not answering, so that other files of the folder wait too.
    bool file = false;

    static Request fileAt(QString path)
    {
        Request request(std::move(path));
        request.file = true;
        return request;
    }
    // What does not answer while a read of the place does not.
    QString unit() const;
};

// The clock the notices go by; tests put one in its place that they drive.
class Clock
{
public:
    virtual ~Clock() = default;
    // Calls ring on context's thread once delay has passed, unless context is gone by then.
    virtual void after(std::chrono::milliseconds delay, QObject *context,
                       std::function<void()> ring) = 0;
};
Clock &clock();
Clock *setClock(Clock *replacement); // returns the previous one; nullptr restores the real one

namespace requestdetail {

struct Mailbox
{
    std::mutex mutex;
    QObject *owner = nullptr; // null once the owner is gone
    std::atomic<bool> alive{true};
};

struct LineState
{
    std::atomic<quint64> last{0};
    quint64 pending = 0;     // the request whose answer is to come; owner's thread only
    bool delivering = false; // a late answer is being handed over; owner's thread only
};

// One read on the pool, with the requests that wait for its answer.
class Job
{
public:
    virtual ~Job() = default;
    virtual void execute() = 0;
    // Whether anyone still wants the answer: a request whose owner is there and whose line has
    // no newer request.
    virtual bool wanted() = 0;

    QString place;
    QString unit;
    QString shared;
    // Set by the pool, under its lock.
    bool running = false;
    std::chrono::steady_clock::time_point startedAt;
    std::atomic<bool> gaveUp{false}; // a caller stopped waiting for it

    // The job's own lock, for the answer and those waiting for it.
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
};

// Puts job on the pool. When a job of the same shared read is there already, join is called on
// it (under the pool's lock) and, when join agrees, that job is returned instead. handed tells
// whether a thread takes the job now (false: it waits for a thread or for its place).
std::shared_ptr<Job> submit(std::shared_ptr<Job> job, const std::function<bool(Job &)> &join,
                            bool *handed);

template<typename Result> class TypedJob : public Job
{
public:
    struct Taker
    {
        std::shared_ptr<Mailbox> mailbox;
        std::shared_ptr<LineState> line;
        quint64 number = 0;
        std::function<void(Result)> late;
        bool abandoned = false; // stopped waiting: the answer goes to late
    };

    std::function<Result()> work;
    std::optional<Result> result;
    std::vector<std::shared_ptr<Taker>> takers;

    static bool current(const Taker &taker)
    {
        return taker.mailbox->alive && (!taker.line || taker.line->last == taker.number);
    }
    bool wanted() override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const auto &taker : takers) {
            if (current(*taker))
                return true;
        }
        return false;
    }
    void execute() override
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            started = true;
        }
        changed.notify_all();
        Result answer = work();
        work = nullptr; // what the work holds goes now, not with the last answer
        const std::lock_guard<std::mutex> lock(mutex);
        result = std::move(answer);
        for (auto &taker : takers) {
            if (taker->abandoned)
                post(*taker);
        }
        changed.notify_all();
    }
    // Hands the answer to a taker that stopped waiting, on its owner's thread.
    void post(Taker &taker)
    {
        const std::lock_guard<std::mutex> lock(taker.mailbox->mutex);
        // Posted under the lock: the owner cannot go between the check and the post, and
        // going afterwards discards the posted call with it.
        if (!taker.mailbox->owner || !current(taker))
            return;
        QMetaObject::invokeMethod(
            taker.mailbox->owner,
            [late = std::move(taker.late), answer = *result] { late(answer); },
            Qt::QueuedConnection);
    }
    // The answer when it has come, or comes within wait counted from the start of the work;
    // else nothing, and late gets it when it comes.
    std::optional<Result> await(const std::shared_ptr<Taker> &taker, std::chrono::milliseconds wait,
                                bool handed, std::function<void(Result)> late)
    {
        std::unique_lock<std::mutex> lock(mutex);
        // A busy machine slow to start a thread says nothing about the disk.
        if (wait.count() > 0 && handed)
            changed.wait_for(lock, std::chrono::seconds(1),
                             [this] { return started || result.has_value(); });
        if (wait.count() > 0 && started)
            changed.wait_until(lock, startedAt + wait, [this] { return result.has_value(); });
        if (result) {
            takers.erase(std::find(takers.begin(), takers.end(), taker));
            return result;
        }
        taker->late = std::move(late);
        taker->abandoned = true;
        gaveUp = true;
        return std::nullopt;
    }
};

template<typename Result> struct Placed
{
    std::shared_ptr<TypedJob<Result>> job;
    std::shared_ptr<typename TypedJob<Result>::Taker> taker;
    bool handed = false;
};

template<typename Result>
Placed<Result> place(const Request &request, std::shared_ptr<Mailbox> mailbox,
                     std::shared_ptr<LineState> line, quint64 number, std::function<Result()> work)
{
    using Typed = TypedJob<Result>;
    auto job = std::make_shared<Typed>();
    job->place = request.place;
    job->unit = request.unit();
    job->shared = request.shared;
    job->work = std::move(work);
    auto taker = std::make_shared<typename Typed::Taker>();
    taker->mailbox = std::move(mailbox);
    taker->line = std::move(line);
    taker->number = number;
    job->takers.push_back(taker);
    Placed<Result> placed;
    placed.taker = taker;
    const std::shared_ptr<Job> chosen = submit(
        job,
        [&taker](Job &there) {
            auto *typed = dynamic_cast<Typed *>(&there);
            if (!typed)
                return false;
            const std::lock_guard<std::mutex> lock(typed->mutex);
            // A read that has answered may have looked before what this request wants to see
            // (a folder changed since): it is read again.
            if (typed->result)
                return false;
            typed->takers.push_back(taker);
            return true;
        },
        &placed.handed);
    placed.job = std::static_pointer_cast<Typed>(chosen);
    return placed;
}

} // namespace requestdetail

// The requests of one owner. Late answers go to the owner's thread and are dropped once this
// object is gone, so it is the owner's last member.
class Requests
{
public:
    static constexpr std::chrono::milliseconds quickAnswer = Request::quickAnswer;
    // How long an answer may be to come before the user is told, once, that it does not answer.
    static constexpr std::chrono::milliseconds silence{3000};
    // Threads the pool keeps at most.
    static constexpr int threadBound = 16;

    explicit Requests(QObject *owner);
    ~Requests();
    Requests(const Requests &) = delete;
    Requests &operator=(const Requests &) = delete;

    // Runs work off the caller's thread: its answer when it comes within request.wait (counted
    // from when the work began), else nothing, and late is called with it on the owner's thread.
    template<typename Result>
    std::optional<Result> run(const Request &request, std::function<Result()> work,
                              std::function<void(Result)> late)
    {
        return request_<Result>(request, {}, 0, std::move(work), std::move(late));
    }

    // Whether a read of place, or of a folder above it, is known not to answer.
    static bool isUnanswered(const QString &place);
    // The pool's threads, and those of them at work (for tests and benchmarks).
    static int threads();
    static int busyThreads();
    // How a thread is made: true when one was. Tests put in one that fails.
    using ThreadStarter = bool (*)(void (*body)());
    static ThreadStarter setThreadStarter(ThreadStarter starter); // nullptr: the real one

private:
    friend class RequestLine;
    template<typename> friend class EarlyRequest;
    template<typename Result>
    std::optional<Result> request_(const Request &request,
                                   std::shared_ptr<requestdetail::LineState> line, quint64 number,
                                   std::function<Result()> work, std::function<void(Result)> late)
    {
        auto placed = requestdetail::place<Result>(request, m_mailbox, std::move(line), number,
                                                   std::move(work));
        return placed.job->await(placed.taker, request.wait, placed.handed, std::move(late));
    }

    std::shared_ptr<requestdetail::Mailbox> m_mailbox;
};

// Requests of one kind of which only the newest counts (the folder chosen, the picture clicked).
// Each request drops the answer of the one before it; one waiting for its place is dropped too
// (the newest wanted runs when the place answers). Owner's thread only.
class RequestLine
{
public:
    explicit RequestLine(Requests &requests, PendingNotice *notice = nullptr)
        : m_requests(requests), m_notice(notice)
    {}
    // Drops the last request (one waiting for its place is not run), without a word to the
    // notice: the owner going takes it along.
    ~RequestLine() { ++m_state->last; }
    RequestLine(const RequestLine &) = delete;
    RequestLine &operator=(const RequestLine &) = delete;

    // As Requests::run; late is called only when no request was made or dropped since.
    template<typename Result>
    std::optional<Result> run(const Request &request, std::function<Result()> work,
                              std::function<void(Result)> late)
    {
        const quint64 number = ++m_state->last;
        m_state->pending = 0;
        std::optional<Result> now =
            m_requests.request_<Result>(request, m_state, number, std::move(work),
                                        [key = this, notice = m_notice, state = m_state, number,
                                         late = std::move(late)](Result answer) {
                                            if (state->last != number)
                                                return;
                                            state->pending = 0;
                                            state->delivering = true;
                                            late(std::move(answer));
                                            state->delivering = false;
                                            // A request made by late goes on with the notice. The
                                            // line may be gone (late took away what held it): only
                                            // its shared state and the notice are touched.
                                            if (!state->pending && notice)
                                                notice->answered(key);
                                        });
        if (now) {
            // Made by a late answer: the notice is told once that answer has been taken in.
            if (m_notice && !m_state->delivering)
                m_notice->answered(this);
        } else if (m_state->last == number) {
            m_state->pending = number;
            if (m_notice)
                m_notice->wait(this, request.about.isEmpty() ? request.place : request.about);
        }
        return now;
    }
    // Whether the last request's answer is still to come.
    bool isPending() const { return m_state->pending != 0; }
    void drop()
    {
        ++m_state->last;
        m_state->pending = 0;
        if (m_notice)
            m_notice->answered(this);
    }

private:
    Requests &m_requests;
    PendingNotice *m_notice;
    std::shared_ptr<requestdetail::LineState> m_state =
        std::make_shared<requestdetail::LineState>();
};

// Work started now whose answer is taken later (the start-up's reads, begun before the splash).
template<typename Result> class EarlyRequest
{
public:
    EarlyRequest(const Request &request, std::function<Result()> work)
        : m_placed(
              requestdetail::place<Result>(request, m_requests.m_mailbox, {}, 0, std::move(work)))
    {}
    EarlyRequest(const EarlyRequest &) = delete;
    EarlyRequest &operator=(const EarlyRequest &) = delete;

    // The answer, once it has come or when it comes within wait, counted from the start of the
    // work (a read that has not answered while the splash stood is not waited for again); else
    // nothing, and late is called with it on this object's thread when it comes, unless this
    // object is gone by then. Asked once.
    std::optional<Result> take(std::function<void(Result)> late,
                               std::chrono::milliseconds wait = Requests::quickAnswer)
    {
        return m_placed.job->await(m_placed.taker, wait, m_placed.handed, std::move(late));
    }

private:
    QObject m_context; // the late answer's owner
    Requests m_requests{&m_context};
    requestdetail::Placed<Result> m_placed;
};

} // namespace vistrel
