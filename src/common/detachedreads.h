#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace vistrel {

// Reads that may hang (a folder on a network mount that stopped answering) run each on a thread
// of its own, so the window goes on answering. A read that answers within a short wait is
// handed back at once, as if it had been made in place; a later answer is delivered to the
// owner's thread by a queued call, and dropped when the owner is gone by then. Nobody ever waits
// for the threads: one that never returns holds up neither the window nor the end of the run.
// Made a member of its owner, so that calls posted to the owner go when it goes.
class DetachedReads
{
public:
    // How long a caller waits for a quick answer: well below what a person notices.
    static constexpr std::chrono::milliseconds quickAnswer{40};
    // How long an answer may be to come before the user is told, once, that the folder or file
    // does not answer: the same for every kind of read, so that one mount is told alike.
    static constexpr std::chrono::milliseconds silence{3000};

    explicit DetachedReads(QObject *owner);
    ~DetachedReads();
    DetachedReads(const DetachedReads &) = delete;
    DetachedReads &operator=(const DetachedReads &) = delete;

    // Runs work on a thread of its own. When it finishes within wait, returns its result and
    // never calls late; otherwise returns nothing and calls late with the result, on the
    // owner's thread, once work has finished (unless this object is gone by then).
    template<typename Result>
    std::optional<Result> run(std::function<Result()> work, std::function<void(Result)> late,
                              std::chrono::milliseconds wait = quickAnswer);
    // As run, for work that reads the folder or file at place (an absolute path). While a read
    // of a place has not answered within its wait, later reads of that place or of anything
    // below it are not waited for at all: a mount that let one read hang will not answer the next
    // within a quick answer either, and the waits of the steps of one choice would add up.
    template<typename Result>
    std::optional<Result> runAt(const QString &place, std::function<Result()> work,
                                std::function<void(Result)> late);

    // Whether a read of place, or of a folder above it, is unanswered past its wait.
    static bool isUnanswered(const QString &place);

private:
    friend class DetachedLine;
    // The places of reads whose callers stopped waiting, for as long as those reads run; shared
    // by every owner, as the mounts are.
    static void markUnanswered(const QString &place);
    static void markAnswered(const QString &place);
    template<typename Result>
    std::optional<Result> runPlaced(QString place, std::function<Result()> work,
                                    std::function<void(Result)> late,
                                    std::chrono::milliseconds wait);

    struct Mailbox
    {
        std::mutex mutex;
        std::condition_variable answered;
        QObject *owner = nullptr; // null once the owner is gone
    };
    template<typename Result> struct Slot
    {
        bool started = false;
        std::optional<Result> result;
        bool abandoned = false; // the caller stopped waiting: the answer goes to late
    };
    std::shared_ptr<Mailbox> m_mailbox;
};

template<typename Result>
std::optional<Result> DetachedReads::run(std::function<Result()> work,
                                         std::function<void(Result)> late,
                                         std::chrono::milliseconds wait)
{
    return runPlaced<Result>(QString(), std::move(work), std::move(late), wait);
}

template<typename Result>
std::optional<Result> DetachedReads::runAt(const QString &place, std::function<Result()> work,
                                           std::function<void(Result)> late)
{
    const std::chrono::milliseconds wait =
        isUnanswered(place) ? std::chrono::milliseconds(0) : quickAnswer;
    return runPlaced<Result>(place, std::move(work), std::move(late), wait);
}

template<typename Result>
std::optional<Result> DetachedReads::runPlaced(QString place, std::function<Result()> work,
                                               std::function<void(Result)> late,
                                               std::chrono::milliseconds wait)
{
    auto slot = std::make_shared<Slot<Result>>();
    try {
        std::thread([mailbox = m_mailbox, slot, place, work, late = std::move(late)]() mutable {
            {
                const std::lock_guard<std::mutex> lock(mailbox->mutex);
                slot->started = true;
            }
            mailbox->answered.notify_all();
            Result result = work();
            const std::lock_guard<std::mutex> lock(mailbox->mutex);
            if (slot->abandoned && !place.isEmpty())
                markAnswered(place);
            if (!slot->abandoned) {
                slot->result = std::move(result);
                mailbox->answered.notify_all();
            } else if (mailbox->owner) {
                // Posted under the lock: the owner cannot go between the check and the post,
                // and going afterwards discards the posted call with it.
                QMetaObject::invokeMethod(
                    mailbox->owner,
                    [late = std::move(late), result = std::move(result)]() mutable {
                        late(std::move(result));
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error &) {
        // No thread to be had (the process is at its limit): read in place.
        return slot->result.emplace(work());
    }
    std::unique_lock<std::mutex> lock(m_mailbox->mutex);
    // The wait counts from the start of the read: a busy machine that is slow to start the
    // thread says nothing about the disk. Without a wait there is nothing to count from.
    if (wait.count() > 0)
        m_mailbox->answered.wait_for(lock, std::chrono::seconds(1), [&] { return slot->started; });
    if (m_mailbox->answered.wait_for(lock, wait, [&] { return slot->result.has_value(); }))
        return std::move(slot->result);
    slot->abandoned = true;
    if (!place.isEmpty())
        markUnanswered(place);
    return std::nullopt;
}

// Requests of one kind of which only the newest counts: the folder chosen, the picture clicked,
// the periodic look at the folder shown. Each request drops the late answer of the one before it,
// and drop() drops the last one's, so an answer for something the user has left never arrives.
// Used on the owner's thread only.
class DetachedLine
{
public:
    explicit DetachedLine(DetachedReads &reads) : m_reads(reads) {}

    // As DetachedReads::run; late is called only when no request was made or dropped since.
    template<typename Result>
    std::optional<Result> run(std::function<Result()> work, std::function<void(Result)> late,
                              std::chrono::milliseconds wait = DetachedReads::quickAnswer);
    // As DetachedReads::runAt, one request of the line.
    template<typename Result>
    std::optional<Result> runAt(const QString &place, std::function<Result()> work,
                                std::function<void(Result)> late)
    {
        return request<Result>(place, std::move(work), std::move(late),
                               DetachedReads::isUnanswered(place) ? std::chrono::milliseconds(0)
                                                                  : DetachedReads::quickAnswer);
    }
    // Whether the last request's answer is still to come.
    bool isPending() const { return m_state->pending != 0; }
    void drop()
    {
        ++m_state->last;
        m_state->pending = 0;
    }

private:
    template<typename Result>
    std::optional<Result> request(const QString &place, std::function<Result()> work,
                                  std::function<void(Result)> late, std::chrono::milliseconds wait);

    struct State
    {
        quint64 last = 0;
        quint64 pending = 0; // the request whose answer is to come; 0 for none
    };
    DetachedReads &m_reads;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

template<typename Result>
std::optional<Result> DetachedLine::run(std::function<Result()> work,
                                        std::function<void(Result)> late,
                                        std::chrono::milliseconds wait)
{
    return request<Result>(QString(), std::move(work), std::move(late), wait);
}

template<typename Result>
std::optional<Result> DetachedLine::request(const QString &place, std::function<Result()> work,
                                            std::function<void(Result)> late,
                                            std::chrono::milliseconds wait)
{
    const quint64 request = ++m_state->last;
    m_state->pending = 0;
    std::optional<Result> result = m_reads.runPlaced<Result>(
        place, std::move(work),
        [state = m_state, request, late = std::move(late)](Result answer) {
            if (state->last != request)
                return;
            state->pending = 0;
            late(std::move(answer));
        },
        wait);
    if (!result && m_state->last == request)
        m_state->pending = request;
    return result;
}

} // namespace vistrel
