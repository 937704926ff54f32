#include "viewer/picturecache.h"

#include "viewer/picturecachestate.h"
#include "viewer/regiondecoder.h"

#include <algorithm>

namespace vistrel {

PictureCache::PictureCache(qint64 budgetBytes, Decoder decoder) : m_state(std::make_shared<State>())
{
    m_state->budget = budgetBytes;
    m_state->decoder =
        decoder ? std::move(decoder) : [](const Request &r, const std::atomic<bool> &cancel) {
            LoadLimits limits;
            limits.cancel = &cancel;
            if (!r.region.isEmpty())
                return RegionDecoder::decode(r.nativePath, r.region, limits);
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
    return find(request, FileIdentity::of(request.nativePath));
}

std::optional<LoadedPicture> PictureCache::find(const Request &request, const FileIdentity &known)
{
    State &s = *m_state;
    std::lock_guard<std::mutex> lock(s.mutex);
    // Decodes of an older state of the file are of no use any more; one whose file was looked
    // at after the caller's look is at least as new as what the caller knows.
    const auto before = s.entries.size();
    s.entries.erase(std::remove_if(s.entries.begin(), s.entries.end(),
                                   [&](const State::Entry &e) {
                                       return e.request.nativePath == request.nativePath &&
                                              !(e.identity == known) && e.identity.at < known.at;
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

bool PictureCache::isCostly(const QByteArray &nativePath) const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    const std::vector<QByteArray> &costly = m_state->costly;
    return std::find(costly.begin(), costly.end(), nativePath) != costly.end();
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
    return waitFor(request, timeout, FileIdentity::of(request.nativePath));
}

std::optional<LoadedPicture> PictureCache::waitFor(const Request &request,
                                                   std::chrono::milliseconds timeout,
                                                   const FileIdentity &known)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::optional<LoadedPicture> found = find(request, known))
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
