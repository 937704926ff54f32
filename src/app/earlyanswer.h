#pragma once

#include "common/detachedreads.h"

#include <QObject>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace vistrel {

// A read begun as early as possible, off the window's thread, whose answer is asked for later:
// the read of the start-up begun before the splash and taken at Continue. take() waits for the
// answer no longer than it is told, counted from the start of the read: one that has not
// answered while the splash stood is not waited for again. An answer that comes after that goes
// to the late call given to take(), on the owner's thread, unless this object is gone by then.
template<typename Result> class EarlyAnswer
{
public:
    explicit EarlyAnswer(std::function<Result()> work)
    {
        m_reads.run<bool>(
            [state = m_state, work = std::move(work)] {
                {
                    const std::lock_guard<std::mutex> lock(state->mutex);
                    state->startedAt = std::chrono::steady_clock::now();
                }
                Result result = work();
                const std::lock_guard<std::mutex> lock(state->mutex);
                state->result = std::move(result);
                state->answered.notify_all();
                return true;
            },
            [state = m_state](bool) {
                if (state->late)
                    state->late(*state->result);
            },
            std::chrono::milliseconds(0));
    }
    EarlyAnswer(const EarlyAnswer &) = delete;
    EarlyAnswer &operator=(const EarlyAnswer &) = delete;

    // The answer, once it has come or when it comes within wait (counted as the class says);
    // else nothing, and late is called with it once it comes. Asked once.
    std::optional<Result> take(std::function<void(Result)> late,
                               std::chrono::milliseconds wait = DetachedReads::quickAnswer)
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        if (m_state->startedAt)
            wait = std::max(std::chrono::milliseconds(0),
                            wait - std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - *m_state->startedAt));
        if (m_state->answered.wait_for(lock, wait, [this] { return m_state->result.has_value(); }))
            return m_state->result;
        m_state->late = std::move(late);
        return std::nullopt;
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<Result> result;
        // When the read began on its thread; a thread slow to start says nothing of the disk.
        std::optional<std::chrono::steady_clock::time_point> startedAt;
        std::function<void(Result)> late; // set, on the owner's thread, when take() found nothing
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
    QObject m_context;                 // the late answer's owner
    DetachedReads m_reads{&m_context}; // last: answers stop before anything else goes
};

} // namespace vistrel
