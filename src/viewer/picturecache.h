#pragma once

#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vistrel {

// Decodes the pictures likely to be shown next (the list neighbours of the one on display) on a
// worker thread, so that the next step through the list only paints. A decode made ahead is used
// only for exactly the same request and only while the file is unchanged (same inode, size and
// modification time); anything else, and every failure, is loaded afresh at display time, so the
// display sees the same results and errors as without it.
class PictureCache
{
public:
    struct Request
    {
        QByteArray nativePath;
        QSize atLeast;
        bool operator==(const Request &other) const
        {
            return nativePath == other.nativePath && atLeast == other.atLeast;
        }
    };

    PictureCache();
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture for this request: made ahead if possible, otherwise loaded now.
    LoadedPicture load(const Request &request);
    // Replaces the work still waiting with these requests, in order.
    void prefetch(std::vector<Request> requests);
    // Drops everything made ahead (and waiting).
    void clear();

    // Blocks until the worker has nothing left to do; for tests and benches.
    void waitIdle();

    // How many of the loads so far were served from decodes made ahead; for tests and benches.
    int hits() const;

private:
    struct Identity
    {
        bool valid = false;
        quint64 device = 0, inode = 0;
        qint64 size = 0, mtimeSec = 0, mtimeNsec = 0;
        bool operator==(const Identity &o) const
        {
            return valid && o.valid && device == o.device && inode == o.inode && size == o.size &&
                   mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec;
        }
    };
    struct Entry
    {
        Request request;
        Identity identity;
        LoadedPicture picture;
    };
    static Identity identify(const QByteArray &nativePath);
    void run();

    static constexpr std::size_t maxEntries = 2;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    std::deque<Request> m_pending;
    std::vector<Entry> m_done;
    Request m_working;
    bool m_busy = false;
    bool m_stop = false;
    int m_hits = 0;
    std::thread m_thread;
};

} // namespace vistrel
