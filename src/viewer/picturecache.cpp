#include "viewer/picturecache.h"

#include "viewer/picturecachestate.h"
#include "viewer/regiondecoder.h"

#include <algorithm>

namespace vistrel {

PictureCache::PictureCache(qint64 budgetBytes, Decoder decoder)
    : m_state(std::make_shared<State>(
          budgetBytes,
          decoder ? std::move(decoder) : [](const Request &r, const std::atomic<bool> &cancel) {
              LoadLimits limits;
              limits.cancel = &cancel;
              if (!r.region.isEmpty())
                  return RegionDecoder::decode(r.nativePath, r.region, limits);
              return PictureLoader::load(r.nativePath, r.atLeast, limits);
          }))
{}

PictureCache::~PictureCache()
{
    // The workers are not joined: one may be deep in a decode that takes long.
    m_state->shutdown();
}

std::optional<LoadedPicture> PictureCache::find(const Request &request, const FileIdentity &known)
{
    return m_state->find(request, known, m_state);
}

bool PictureCache::isCostly(const QByteArray &nativePath) const
{
    return m_state->isCostly(nativePath);
}

void PictureCache::want(std::vector<Request> requests)
{
    m_state->want(std::move(requests), m_state);
}

std::optional<LoadedPicture> PictureCache::waitFor(const Request &request,
                                                   std::chrono::milliseconds timeout,
                                                   const FileIdentity &known)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::optional<LoadedPicture> found = find(request, known))
            return found;
        if (!m_state->waitStored(request, deadline))
            return std::nullopt;
    }
}

void PictureCache::setShown(const Request &request)
{
    m_state->setShown(request);
}

void PictureCache::setOnDecoded(std::function<void()> callback)
{
    m_state->setOnDecoded(std::move(callback));
}

bool PictureCache::waitIdle(std::chrono::milliseconds timeout)
{
    return m_state->waitIdle(timeout);
}

int PictureCache::hits() const
{
    return m_state->hits();
}

int PictureCache::decodes() const
{
    return m_state->decodes();
}

qint64 PictureCache::bytesHeld() const
{
    return m_state->bytesHeld();
}

// The state's operations for the cache; each takes the mutex.

PictureCache::State::State(qint64 budgetBytes, Decoder decode)
    : budget(budgetBytes), decoder(std::move(decode))
{}

void PictureCache::State::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    for (Running &x : running)
        x.cancel->store(true);
    onDecoded = nullptr;
    wanted.clear();
    entries.clear();
    wake.notify_all();
    stored.notify_all();
}

std::optional<LoadedPicture> PictureCache::State::find(const Request &r, const FileIdentity &known,
                                                       const std::shared_ptr<State> &self)
{
    std::lock_guard<std::mutex> lock(mutex);
    // Decodes of an older state of the file are of no use any more; one whose file was looked
    // at after the caller's look is at least as new as what the caller knows.
    const auto before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const Entry &e) {
                                     return e.request.nativePath == r.nativePath &&
                                            !(e.identity == known) && e.identity.at < known.at;
                                 }),
                  entries.end());
    if (entries.size() != before)
        startThreadIfNeeded(self);
    const int best = bestEntry(r);
    if (best < 0)
        return std::nullopt;
    Entry &entry = entries[std::size_t(best)];
    entry.used = ++clock;
    if (entry.picture.ok())
        ++hitCount;
    return entry.picture;
}

bool PictureCache::State::isCostly(const QByteArray &nativePath) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::find(costly.begin(), costly.end(), nativePath) != costly.end();
}

void PictureCache::State::want(std::vector<Request> requests, const std::shared_ptr<State> &self)
{
    std::lock_guard<std::mutex> lock(mutex);
    wanted = std::move(requests);
    skipped.clear();
    dropSpares();
    for (Running &x : running)
        if (!contains(wanted, x.request))
            x.cancel->store(true);
    makeRoomForFirst();
    startThreadIfNeeded(self);
}

bool PictureCache::State::waitStored(const Request &r,
                                     std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(mutex);
    return stored.wait_until(lock, deadline, [&] { return bestEntry(r) >= 0; });
}

void PictureCache::State::setShown(const Request &r)
{
    std::lock_guard<std::mutex> lock(mutex);
    shown = r;
    dropSpares();
}

void PictureCache::State::setOnDecoded(std::function<void()> callback)
{
    std::lock_guard<std::mutex> lock(mutex);
    onDecoded = std::move(callback);
}

bool PictureCache::State::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return stored.wait_for(lock, timeout, [&] {
        return !nextJob() && std::none_of(running.begin(), running.end(), [&](const Running &x) {
            return contains(wanted, x.request);
        });
    });
}

int PictureCache::State::hits() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return hitCount;
}

int PictureCache::State::decodes() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return decodeCount;
}

qint64 PictureCache::State::bytesHeld() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return heldBytes();
}

} // namespace vistrel
