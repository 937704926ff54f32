#include "viewer/picturecache.h"

#include "viewer/pictureheader.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace vistrel {
namespace {

// Threads at most: two for the wanted pictures, two more that may still be finishing decodes
// nobody wants any longer.
constexpr int maxThreads = 2 * PictureCache::parallelDecodes;

// Failures take no memory; only their number is bounded.
constexpr std::size_t maxFailures = 64;

// Pictures kept that are neither shown nor wanted: the one shown before, and one more.
constexpr int maxSpare = 2;

// A reduced picture more than this many times the area asked for costs more to scale down than
// a fresh decode at the right size.
constexpr qint64 maxAreaFactor = 6;

// What stat says about a path: a decode is valid only while this stays the same.
struct Identity
{
    bool exists = false;
    quint64 device = 0, inode = 0;
    unsigned mode = 0;
    qint64 size = 0, mtimeSec = 0, mtimeNsec = 0;

    static Identity of(const QByteArray &nativePath)
    {
        Identity id;
        struct stat st = {};
        if (::stat(nativePath.constData(), &st) != 0)
            return id;
        id.exists = true;
        id.device = quint64(st.st_dev);
        id.inode = quint64(st.st_ino);
        id.mode = unsigned(st.st_mode & S_IFMT);
        id.size = qint64(st.st_size);
        id.mtimeSec = qint64(st.st_mtim.tv_sec);
        id.mtimeNsec = qint64(st.st_mtim.tv_nsec);
        return id;
    }
    bool operator==(const Identity &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && mode == o.mode &&
               size == o.size && mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec;
    }
};

qint64 pixels(const QSize &size)
{
    return qint64(qMax(0, size.width())) * qMax(0, size.height());
}

// Memory a decode for the request will hold at its peak, from the file's header; 0 when
// unknown. A JPEG is decoded straight to about the size asked for, an uncompressed BMP to
// exactly that size; other formats are decoded whole, then scaled down into a copy.
qint64 estimatedBytes(const PictureCache::Request &request)
{
    const PictureHeader header = readPictureHeader(request.nativePath);
    if (!header.valid)
        return 0;
    const qint64 full = pixels(header.size);
    const qint64 asked = request.atLeast.isValid() ? pixels(request.atLeast) : 0;
    if (header.bmpStreams && asked > 0)
        return 4 * pixels(header.size.boundedTo(request.atLeast));
    return 4 * (header.jpeg && asked > 0 ? qMin(full, 4 * asked) : full + asked);
}

} // namespace

struct PictureCache::State
{
    struct Entry
    {
        Request request;
        Identity identity;
        LoadedPicture picture;
        qint64 bytes = 0;
        quint64 used = 0;
    };
    struct Running
    {
        Request request;
        qint64 estimate = 0;
        std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    };

    std::mutex mutex;
    std::condition_variable wake;   // workers: there may be work
    std::condition_variable stored; // waiters: a decode has been stored
    qint64 budget = 0;
    Decoder decoder;
    std::function<void()> onDecoded;
    std::vector<Request> wanted;
    std::vector<Request> skipped; // wanted, but no room for it beside what is worth more
    std::vector<Running> running;
    std::vector<Entry> entries;
    std::optional<Request> shown;
    int threads = 0;
    int idleThreads = 0;
    bool stop = false;
    quint64 clock = 0;
    int hits = 0;
    int decodes = 0;

    // All below run with the mutex held.

    static bool sharpEnough(const Entry &e, const Request &r)
    {
        if (e.request == r)
            return true;
        if (!e.picture.ok() || e.request.nativePath != r.nativePath)
            return false;
        const QSize have = e.picture.image.size();
        const bool whole = have == e.picture.fullSize;
        if (!r.atLeast.isValid())
            return whole;
        const bool covers =
            have.width() >= r.atLeast.width() && have.height() >= r.atLeast.height();
        return (covers || whole) && pixels(have) <= maxAreaFactor * pixels(r.atLeast);
    }

    // The best entry for the request, whatever its file's identity: the smallest picture sharp
    // enough, else a failure of the very same request.
    int bestEntry(const Request &r) const
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

    static bool contains(const std::vector<Request> &list, const Request &r)
    {
        return std::find(list.begin(), list.end(), r) != list.end();
    }

    bool isRunning(const Request &r) const
    {
        return std::any_of(running.begin(), running.end(),
                           [&](const Running &x) { return x.request == r; });
    }

    // Decodes in progress for wanted pictures that have not been told to give up.
    int wantedRunning() const
    {
        return int(std::count_if(running.begin(), running.end(), [&](const Running &x) {
            return !x.cancel->load() && contains(wanted, x.request);
        }));
    }

    // The most wanted picture never waits for work ahead: when every decode slot is taken,
    // the one for the picture furthest down the wish gives up its place.
    void makeRoomForFirst()
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

    std::optional<Request> nextJob() const
    {
        if (wantedRunning() >= parallelDecodes)
            return std::nullopt;
        for (const Request &r : wanted)
            if (!isRunning(r) && !contains(skipped, r) && bestEntry(r) < 0)
                return r;
        return std::nullopt;
    }

    // Lower is worth more: the picture shown, then the wanted ones in order, then the spares
    // (neither shown nor wanted) by how recently they were used.
    static constexpr quint64 spareRank = 1000000;
    quint64 rank(const Entry &e) const
    {
        if (shown && sharpEnough(e, *shown))
            return 0;
        const auto w = std::find_if(wanted.begin(), wanted.end(),
                                    [&](const Request &r) { return sharpEnough(e, r); });
        if (w != wanted.end())
            return 1 + quint64(w - wanted.begin());
        return spareRank + (clock - e.used);
    }

    qint64 heldBytes() const
    {
        qint64 sum = 0;
        for (const Entry &e : entries)
            sum += e.bytes;
        return sum;
    }

    // Bytes held by entries worth at least as much as rank `limit`, and expected from decodes
    // in progress.
    qint64 committedBytes(quint64 limit) const
    {
        qint64 sum = 0;
        for (const Entry &e : entries)
            if (rank(e) <= limit)
                sum += e.bytes;
        for (const Running &x : running)
            sum += x.estimate;
        return sum;
    }

    quint64 rankOfRequest(const Request &r) const
    {
        const auto w = std::find(wanted.begin(), wanted.end(), r);
        return w == wanted.end() ? spareRank : 1 + quint64(w - wanted.begin());
    }

    // Adds a decode, making room by dropping what is worth less; a decode worth less than all
    // that is held is dropped itself, unless it is the most wanted one.
    void store(Entry entry)
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

    // Keeps only the most recently used of the pictures neither shown nor wanted.
    void dropSpares()
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

    void startThreadIfNeeded(const std::shared_ptr<State> &self)
    {
        if (!nextJob())
            return;
        if (idleThreads > 0) {
            wake.notify_all();
            return;
        }
        if (threads >= maxThreads)
            return;
        ++threads;
        try {
            std::thread([self] { work(self); }).detach();
        } catch (const std::system_error &) {
            --threads; // no thread to be had now: the running ones take the work in turn
        }
    }

    static void work(const std::shared_ptr<State> &s)
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
            ++s->decodes;
            lock.unlock();

            // The identity is taken before reading: a change during the read makes it stale.
            Entry entry{job, Identity::of(job.nativePath), s->decoder(job, *cancel), 0, 0};

            lock.lock();
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
};

PictureCache::PictureCache(qint64 budgetBytes, Decoder decoder) : m_state(std::make_shared<State>())
{
    m_state->budget = budgetBytes;
    m_state->decoder =
        decoder ? std::move(decoder) : [](const Request &r, const std::atomic<bool> &cancel) {
            LoadLimits limits;
            limits.cancel = &cancel;
            return PictureLoader::load(r.nativePath, r.atLeast, limits);
        };
}

PictureCache::~PictureCache()
{
    // The workers are not joined: one may be deep in a decode that takes long.
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stop = true;
    for (State::Running &x : m_state->running)
        x.cancel->store(true);
    m_state->onDecoded = nullptr;
    m_state->wanted.clear();
    m_state->entries.clear();
    m_state->wake.notify_all();
    m_state->stored.notify_all();
}

std::optional<LoadedPicture> PictureCache::find(const Request &request)
{
    const Identity now = Identity::of(request.nativePath);
    State &s = *m_state;
    std::lock_guard<std::mutex> lock(s.mutex);
    // Decodes of an older state of the file are of no use any more.
    const auto before = s.entries.size();
    s.entries.erase(std::remove_if(s.entries.begin(), s.entries.end(),
                                   [&](const State::Entry &e) {
                                       return e.request.nativePath == request.nativePath &&
                                              !(e.identity == now);
                                   }),
                    s.entries.end());
    if (s.entries.size() != before)
        s.startThreadIfNeeded(m_state);
    const int best = s.bestEntry(request);
    if (best < 0)
        return std::nullopt;
    State::Entry &entry = s.entries[std::size_t(best)];
    entry.used = ++s.clock;
    if (entry.picture.ok())
        ++s.hits;
    return entry.picture;
}

void PictureCache::want(std::vector<Request> requests)
{
    State &s = *m_state;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.wanted = std::move(requests);
    s.skipped.clear();
    s.dropSpares();
    for (State::Running &x : s.running)
        if (!State::contains(s.wanted, x.request))
            x.cancel->store(true);
    s.makeRoomForFirst();
    s.startThreadIfNeeded(m_state);
}

std::optional<LoadedPicture> PictureCache::waitFor(const Request &request,
                                                   std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::optional<LoadedPicture> found = find(request))
            return found;
        State &s = *m_state;
        std::unique_lock<std::mutex> lock(s.mutex);
        if (!s.stored.wait_until(lock, deadline, [&] { return s.bestEntry(request) >= 0; }))
            return std::nullopt;
    }
}

void PictureCache::setShown(const Request &request)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->shown = request;
    m_state->dropSpares();
}

void PictureCache::setOnDecoded(std::function<void()> callback)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->onDecoded = std::move(callback);
}

bool PictureCache::waitIdle(std::chrono::milliseconds timeout)
{
    State &s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.stored.wait_for(lock, timeout, [&] {
        return !s.nextJob() &&
               std::none_of(s.running.begin(), s.running.end(), [&](const State::Running &x) {
                   return State::contains(s.wanted, x.request);
               });
    });
}

int PictureCache::hits() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->hits;
}

int PictureCache::decodes() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->decodes;
}

qint64 PictureCache::bytesHeld() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->heldBytes();
}

} // namespace vistrel
