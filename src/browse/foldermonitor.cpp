#include "browse/foldermonitor.h"

#include "browse/nativename.h"

#include <QElapsedTimer>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vistrel {
namespace {

// A picture announced by a creation notice but never closed after writing (written through a
// memory map, or by another host) counts as complete once it has kept still this long.
constexpr qint64 announcedStableMs = 1000;

qint64 monotonicMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

bool sameStamp(const FileStamp &a, const FileStamp &b)
{
    return a.size == b.size && a.mtimeSeconds == b.mtimeSeconds &&
           a.mtimeNanoseconds == b.mtimeNanoseconds;
}

} // namespace

FolderMonitor::FolderMonitor(QObject *parent) : QObject(parent), m_clock(monotonicMs) {}

FolderMonitor::~FolderMonitor()
{
    closeNotifications();
}

void FolderMonitor::watch(const QString &folder)
{
    stop();
    m_folder = folder;
    m_watching = true;
    if (m_notificationsAllowed) {
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify >= 0) {
            constexpr uint32_t mask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                      IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF |
                                      IN_MOVE_SELF | IN_ONLYDIR;
            m_watchDescriptor = ::inotify_add_watch(m_inotify, toNative(folder).constData(), mask);
            if (m_watchDescriptor < 0)
                closeNotifications();
        }
    }
    folderStampChanged();
    reread(m_clock(), true);
}

void FolderMonitor::stop()
{
    closeNotifications();
    m_files.clear();
    m_folder.clear();
    m_complete = 0;
    m_pending = 0;
    m_watching = false;
}

void FolderMonitor::closeNotifications()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    m_inotify = -1;
    m_watchDescriptor = -1;
}

bool FolderMonitor::isPending(const QByteArray &name) const
{
    const auto it = m_files.constFind(name);
    return it != m_files.constEnd() && !it->complete;
}

int FolderMonitor::poll()
{
    if (!m_watching)
        return 0;
    const qint64 now = m_clock();
    bool dirty = usesNotifications() ? readNotices() : folderStampChanged();
    if (now - m_lastFullRead >= m_fullRereadMs)
        dirty = true;
    if (dirty)
        reread(now, false);
    if (m_pending > 0)
        settlePending(now);
    return m_complete;
}

// Drains the notice queue; true when the listing must be read again.
bool FolderMonitor::readNotices()
{
    bool dirty = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // The queue overflowed or the folder itself went: fall back on reading.
                dirty = true;
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                    closeNotifications();
                continue;
            }
            if (event->len == 0)
                continue;
            const QByteArray name(event->name, qsizetype(std::strlen(event->name)));
            if (!isPictureName(name.constData(), std::size_t(name.size())))
                continue;
            if (event->mask & (IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM))
                dirty = true;
            auto it = m_files.find(name);
            if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
                if (it != m_files.end()) {
                    it->closed = true;
                } else {
                    m_files.insert(name, Seen{{}, 0, false, true, true});
                    dirty = true;
                }
            } else if (event->mask & IN_CREATE) {
                if (it == m_files.end())
                    m_files.insert(name, Seen{{}, 0, false, false, true});
                dirty = true;
            } else if ((event->mask & IN_MODIFY) && it != m_files.end() && !it->complete) {
                it->closed = false;
            }
        }
        if (m_inotify < 0)
            break;
    }
    return dirty;
}

bool FolderMonitor::folderStampChanged()
{
    struct stat st;
    FileStamp stamp;
    if (::stat(toNative(m_folder).constData(), &st) == 0) {
        stamp.mtimeSeconds = st.st_mtim.tv_sec;
        stamp.mtimeNanoseconds = st.st_mtim.tv_nsec;
        stamp.size = std::int64_t(st.st_ino);
    }
    const bool changed = !sameStamp(stamp, m_folderStamp);
    m_folderStamp = stamp;
    return changed;
}

void FolderMonitor::reread(qint64 now, bool allComplete)
{
    m_lastFullRead = now;
    const FolderNames listing = readPictureNames(m_folder);
    if (!listing.ok)
        return; // keep the last known state; a vanished folder grows no pictures

    QHash<QByteArray, Seen> next;
    next.reserve(qsizetype(listing.names.size()));
    const FolderHandle handle(m_folder);
    for (const QByteArray &name : listing.names) {
        auto it = m_files.constFind(name);
        if (it != m_files.constEnd() && (it->complete || it->stableSince != 0)) {
            next.insert(name, *it);
            continue;
        }
        Seen seen = it != m_files.constEnd() ? *it : Seen{};
        seen.complete = allComplete;
        seen.stableSince = now;
        if (!allComplete && !handle.stamp(name, &seen.stamp))
            continue; // gone again, or not a regular file
        next.insert(name, seen);
    }
    m_files = std::move(next);
    countStates();
}

void FolderMonitor::settlePending(qint64 now)
{
    const FolderHandle handle(m_folder);
    for (auto it = m_files.begin(); it != m_files.end();) {
        Seen &seen = it.value();
        if (seen.complete) {
            ++it;
            continue;
        }
        FileStamp stamp;
        if (!handle.stamp(it.key(), &stamp)) {
            it = m_files.erase(it);
            continue;
        }
        bool settled = false;
        if (!sameStamp(stamp, seen.stamp)) {
            seen.stamp = stamp;
            seen.stableSince = now;
            settled = seen.closed;
        } else {
            const qint64 needed = seen.announced ? announcedStableMs : 0;
            settled = seen.closed || (now > seen.stableSince && now - seen.stableSince >= needed);
        }
        seen.complete = settled;
        ++it;
    }
    countStates();
}

void FolderMonitor::countStates()
{
    m_complete = 0;
    m_pending = 0;
    for (const Seen &seen : std::as_const(m_files))
        (seen.complete ? m_complete : m_pending)++;
}

} // namespace vistrel
