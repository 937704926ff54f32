#include "viewer/picturecache.h"

#include <sys/stat.h>

#include <algorithm>

namespace vistrel {

PictureCache::PictureCache() : m_thread([this] { run(); }) {}

PictureCache::~PictureCache()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_pending.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

PictureCache::Identity PictureCache::identify(const QByteArray &nativePath)
{
    Identity id;
    struct stat st = {};
    if (::stat(nativePath.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return id;
    id.valid = true;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.mtimeSec = qint64(st.st_mtim.tv_sec);
    id.mtimeNsec = qint64(st.st_mtim.tv_nsec);
    return id;
}

LoadedPicture PictureCache::load(const Request &request)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Being decoded right now: waiting is cheaper than decoding it a second time.
        m_finished.wait(lock, [&] { return !(m_busy && m_working == request); });
        m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), request), m_pending.end());
        const auto found = std::find_if(m_done.begin(), m_done.end(),
                                        [&](const Entry &e) { return e.request == request; });
        if (found != m_done.end()) {
            Entry entry = std::move(*found);
            m_done.erase(found);
            lock.unlock();
            if (entry.identity == identify(request.nativePath)) {
                std::lock_guard<std::mutex> again(m_mutex);
                ++m_hits;
                return std::move(entry.picture);
            }
        }
    }
    return PictureLoader::load(request.nativePath, request.atLeast);
}

void PictureCache::prefetch(std::vector<Request> requests)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
        for (Request &r : requests) {
            const bool made = std::any_of(m_done.begin(), m_done.end(),
                                          [&](const Entry &e) { return e.request == r; });
            if (!made && !(m_busy && m_working == r))
                m_pending.push_back(std::move(r));
        }
    }
    m_wake.notify_one();
}

void PictureCache::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
    m_done.clear();
}

void PictureCache::waitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finished.wait(lock, [this] { return !m_busy && m_pending.empty(); });
}

int PictureCache::hits() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hits;
}

void PictureCache::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
        if (m_stop)
            return;
        m_working = m_pending.front();
        m_pending.pop_front();
        m_busy = true;
        const Request request = m_working;
        lock.unlock();

        // The identity is taken before reading: a change during the read makes it stale.
        Entry entry{request, identify(request.nativePath), {}};
        if (entry.identity.valid)
            entry.picture = PictureLoader::load(request.nativePath, request.atLeast);

        lock.lock();
        m_busy = false;
        // Failures are not kept: the display loads them itself and reports them as usual.
        if (entry.picture.ok()) {
            if (m_done.size() >= maxEntries)
                m_done.erase(m_done.begin());
            m_done.push_back(std::move(entry));
        }
        m_finished.notify_all();
    }
}

} // namespace vistrel
