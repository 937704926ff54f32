#include "viewer/picturecachestate.h"

#include "viewer/pictureheader.h"

#include <algorithm>
#include <ctime>

#include <pthread.h>
#include <system_error>
#include <thread>

namespace vistrel {
namespace {

// Threads at most: two for the wanted pictures, two more that may still be finishing decodes
// nobody wants any longer. Stalled decodes are not counted, up to a hard bound of threads.
constexpr int maxThreads = 2 * PictureCache::parallelDecodes;
constexpr int maxThreadsWithStalled = 4 * maxThreads;

// How long a decode runs before it may be judged stalled, and the share of that time it must
// have used the processor not to be.
constexpr std::chrono::milliseconds stallAfter{1000};
constexpr int stalledBelowPercent = 20;

// Failures take no memory; only their number is bounded.
constexpr std::size_t maxFailures = 64;

// Pictures kept that are neither shown nor wanted: the one shown before, and one more.
constexpr int maxSpare = 2;

// Files remembered as costly to decode.
constexpr std::size_t maxCostly = 16;

// The processor time this thread has used.
std::chrono::nanoseconds threadTime()
{
    timespec t = {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// A reduced picture more than this many times the area asked for costs more to scale down than
// a fresh decode at the right size.
constexpr qint64 maxAreaFactor = 6;

qint64 pixels(const QSize &size)
{
    return qint64(qMax(0, size.width())) * qMax(0, size.height());
}

// Memory a decode for the request will hold at its peak, from the file's header; 0 when
// unknown. A JPEG is decoded straight to about the size asked for (a progressive one beside the
// coefficients of the whole picture), an uncompressed BMP to exactly that size; other formats
// are decoded whole, then scaled down into a copy.
qint64 estimatedBytes(const PictureCache::Request &request)
{
    const PictureHeader header = readPictureHeader(request.nativePath);
    if (!header.valid)
        return 0;
    if (!request.region.isEmpty())
        return 4 * pixels(request.region.size());
    const qint64 full = pixels(header.size);
    const qint64 asked = request.atLeast.isValid() ? pixels(request.atLeast) : 0;
    if (header.bmpStreams && asked > 0)
        return 4 * pixels(header.size.boundedTo(request.atLeast));
    return header.coefficientBytes +
           4 * (header.jpeg && asked > 0 ? qMin(full, 4 * asked) : full + asked);
}

} // namespace

bool PictureCache::State::sharpEnough(const Entry &e, const Request &r)
{
    if (e.request == r)
        return true;
    if (!e.picture.ok() || e.request.nativePath != r.nativePath || !e.request.region.isEmpty() ||
        !r.region.isEmpty())
        return false;
    const QSize have = e.picture.image.size();
    const bool whole = have == e.picture.fullSize;
    if (!r.atLeast.isValid())
        return whole;
    const bool covers = have.width() >= r.atLeast.width() && have.height() >= r.atLeast.height();
    return (covers || whole) && pixels(have) <= maxAreaFactor * pixels(r.atLeast);
}

int PictureCache::State::bestEntry(const Request &r) const
{
    int best = -1;
    const auto better = [&](const Entry &a, const Entry &b) {
        if (a.picture.ok() != b.picture.ok())
            return a.picture.ok();
        return pixels(a.picture.image.size()) < pixels(b.picture.image.size());
    };
    for (int i = 0; i < int(entries.size()); ++i)
        if (sharpEnough(entries[std::size_t(i)], r) &&
            (best < 0 || better(entries[std::size_t(i)], entries[std::size_t(best)])))
            best = i;
    return best;
}

bool PictureCache::State::contains(const std::vector<Request> &list, const Request &r)
{
    return std::find(list.begin(), list.end(), r) != list.end();
}

bool PictureCache::State::isRunning(const Request &r) const
{
    return std::any_of(running.begin(), running.end(),
                       [&](const Running &x) { return x.request == r; });
}

int PictureCache::State::wantedRunning() const
{
    return int(std::count_if(running.begin(), running.end(), [&](const Running &x) {
        return !x.cancel->load() && contains(wanted, x.request);
    }));
}

void PictureCache::State::makeRoomForFirst()
{
    if (wanted.empty() || isRunning(wanted.front()) || bestEntry(wanted.front()) >= 0 ||
        wantedRunning() < parallelDecodes)
        return;
    Running *last = nullptr;
    std::ptrdiff_t lastAt = -1;
    for (Running &x : running) {
        const std::ptrdiff_t at =
            std::find(wanted.begin(), wanted.end(), x.request) - wanted.begin();
        if (!x.cancel->load() && at < std::ptrdiff_t(wanted.size()) && at > lastAt) {
            last = &x;
            lastAt = at;
        }
    }
    if (last)
        last->cancel->store(true);
}

std::optional<PictureCache::Request> PictureCache::State::nextJob() const
{
    if (wantedRunning() >= parallelDecodes)
        return std::nullopt;
    for (const Request &r : wanted)
        if (!isRunning(r) && !contains(skipped, r) && bestEntry(r) < 0)
            return r;
    return std::nullopt;
}

quint64 PictureCache::State::rank(const Entry &e) const
{
    if (shown && sharpEnough(e, *shown))
        return 0;
    const auto w = std::find_if(wanted.begin(), wanted.end(),
                                [&](const Request &r) { return sharpEnough(e, r); });
    if (w != wanted.end())
        return 1 + quint64(w - wanted.begin());
    return spareRank + (clock - e.used);
}

qint64 PictureCache::State::heldBytes() const
{
    qint64 sum = 0;
    for (const Entry &e : entries)
        sum += e.bytes;
    return sum;
}

qint64 PictureCache::State::committedBytes(quint64 limit) const
{
    qint64 sum = 0;
    for (const Entry &e : entries)
        if (rank(e) <= limit)
            sum += e.bytes;
    for (const Running &x : running)
        sum += x.estimate;
    return sum;
}

quint64 PictureCache::State::rankOfRequest(const Request &r) const
{
    const auto w = std::find(wanted.begin(), wanted.end(), r);
    return w == wanted.end() ? spareRank : 1 + quint64(w - wanted.begin());
}

void PictureCache::State::store(Entry entry)
{
    entry.used = ++clock;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const Entry &e) { return e.request == entry.request; }),
                  entries.end());
    if (!entry.picture.ok()) {
        const auto failures = std::count_if(entries.begin(), entries.end(),
                                            [](const Entry &e) { return !e.picture.ok(); });
        if (std::size_t(failures) >= maxFailures) {
            const auto oldest = std::min_element(
                entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
                    return (a.picture.ok() ? 1 : 0) < (b.picture.ok() ? 1 : 0) ||
                           (a.picture.ok() == b.picture.ok() && a.used < b.used);
                });
            entries.erase(oldest);
        }
        entries.push_back(std::move(entry));
        return;
    }
    entry.bytes = entry.picture.image.sizeInBytes();
    const quint64 mine = rankOfRequest(entry.request);
    while (heldBytes() + entry.bytes > budget) {
        auto worst = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (it->bytes > 0 && rank(*it) > mine &&
                (worst == entries.end() || rank(*it) > rank(*worst)))
                worst = it;
        if (worst == entries.end())
            break;
        entries.erase(worst);
    }
    if (heldBytes() + entry.bytes <= budget || mine <= 1)
        entries.push_back(std::move(entry));
    dropSpares();
}

void PictureCache::State::dropSpares()
{
    for (;;) {
        int spares = 0;
        auto oldest = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (!it->picture.ok() || rank(*it) < spareRank)
                continue;
            ++spares;
            if (oldest == entries.end() || it->used < oldest->used)
                oldest = it;
        }
        if (spares <= maxSpare)
            return;
        entries.erase(oldest);
    }
}

void PictureCache::State::noteCost(const Request &r, std::chrono::nanoseconds processorTime)
{
    if (!r.region.isEmpty())
        return; // a tile says nothing of the whole picture
    costly.erase(std::remove(costly.begin(), costly.end(), r.nativePath), costly.end());
    if (processorTime <= costlyDecode)
        return;
    if (costly.size() >= maxCostly)
        costly.erase(costly.begin());
    costly.push_back(r.nativePath);
}

bool PictureCache::State::isStalled(const Running &x, std::chrono::steady_clock::time_point now)
{
    const auto running = now - x.since;
    if (running < stallAfter)
        return false;
    timespec t = {};
    if (::clock_gettime(x.processorClock, &t) != 0)
        return false;
    const auto used = std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    return used * 100 < running * stalledBelowPercent;
}

int PictureCache::State::stalledDecodes() const
{
    const auto now = std::chrono::steady_clock::now();
    return int(std::count_if(running.begin(), running.end(),
                             [&](const Running &x) { return isStalled(x, now); }));
}

void PictureCache::State::watchForStalls(const std::shared_ptr<State> &self)
{
    if (watchingStalls || threads >= maxThreadsWithStalled)
        return;
    const auto now = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> due;
    for (const Running &x : running)
        if (x.since + stallAfter > now && (!due || x.since + stallAfter < *due))
            due = x.since + stallAfter;
    if (!due)
        return; // every decode is old enough and busy: the first to finish takes the work
    watchingStalls = true;
    try {
        std::thread([self, due = *due] {
            std::this_thread::sleep_until(due + std::chrono::milliseconds(10));
            const std::lock_guard<std::mutex> lock(self->mutex);
            self->watchingStalls = false;
            if (!self->stop)
                self->startThreadIfNeeded(self);
        }).detach();
    } catch (const std::system_error &) {
        watchingStalls = false;
    }
}

void PictureCache::State::startThreadIfNeeded(const std::shared_ptr<State> &self)
{
    if (!nextJob())
        return;
    if (idleThreads > 0) {
        wake.notify_all();
        return;
    }
    if (threads >= maxThreadsWithStalled)
        return;
    if (threads - stalledDecodes() >= maxThreads) {
        watchForStalls(self);
        return;
    }
    ++threads;
    try {
        std::thread([self] { work(self); }).detach();
    } catch (const std::system_error &) {
        --threads; // no thread to be had now: the running ones take the work in turn
    }
}

void PictureCache::State::work(const std::shared_ptr<State> &s)
{
    std::unique_lock<std::mutex> lock(s->mutex);
    for (;;) {
        ++s->idleThreads;
        s->wake.wait(lock, [&] { return s->stop || s->nextJob(); });
        --s->idleThreads;
        if (s->stop) {
            --s->threads;
            return;
        }
        const Request job = *s->nextJob();
        s->running.push_back({job});
        pthread_getcpuclockid(pthread_self(), &s->running.back().processorClock);
        const std::shared_ptr<std::atomic<bool>> cancel = s->running.back().cancel;
        s->startThreadIfNeeded(s); // the next wanted picture need not wait for this one
        lock.unlock();
        const qint64 estimate = estimatedBytes(job);
        lock.lock();
        // Work ahead waits while what is worth more fills the budget; the wish may have
        // changed while the header was read.
        const bool first = !s->wanted.empty() && s->wanted.front() == job;
        if (!first && s->committedBytes(s->rankOfRequest(job)) + estimate > s->budget) {
            s->running.erase(std::find_if(s->running.begin(), s->running.end(),
                                          [&](const Running &x) { return x.request == job; }));
            s->skipped.push_back(job);
            s->stored.notify_all();
            continue;
        }
        for (Running &x : s->running)
            if (x.request == job)
                x.estimate = estimate;
        ++s->decodeCount;
        lock.unlock();

        // The identity is taken before reading: a change during the read makes it stale.
        const std::chrono::nanoseconds startedAt = threadTime();
        Entry entry{job, FileIdentity::of(job.nativePath), s->decoder(job, *cancel), 0, 0};
        const std::chrono::nanoseconds took = threadTime() - startedAt;

        lock.lock();
        if (entry.picture.error != LoadedPicture::Cancelled)
            s->noteCost(job, took);
        s->running.erase(std::find_if(s->running.begin(), s->running.end(),
                                      [&](const Running &x) { return x.cancel == cancel; }));
        if (!s->stop && entry.picture.error != LoadedPicture::Cancelled)
            s->store(std::move(entry));
        s->stored.notify_all();
        if (s->onDecoded)
            s->onDecoded();
        // A finished decode may let waiting work ahead in.
        s->skipped.clear();
    }
}

} // namespace vistrel
