#include "browse/foldermonitor.h"

#include "browse/folderchanges.h"
#include "common/nativename.h"

#include <QElapsedTimer>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vistrel {
namespace {

// A picture announced by a creation notice but never closed after writing (written through a
// memory map, or by another host) counts as complete once it has kept still this long.
constexpr qint64 announcedStableMs = 1000;

// One slice of a re-reading takes about this long at most, so that no poll holds up the window
// for a frame.
constexpr qint64 sliceNs = 8'000'000;
// How many entries are read between two looks at the clock.
constexpr int entriesPerLook = 512;
// The shortest time between two re-readings of a folder whose notices are trusted or whose time
// has not changed; large folders are re-read less often.
constexpr qint64 fullRereadMs = 2000;
// Re-reading may take this share of a core at most: one that took 60 ms waits 12 s.
constexpr qint64 rereadTimeShare = 200;

qint64 monotonicMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

// Processor time of the calling thread: what the work itself cost, however busy the machine.
qint64 threadCpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

FolderMonitor::FolderMonitor(QObject *parent) : QObject(parent), m_clock(monotonicMs) {}

FolderMonitor::~FolderMonitor()
{
    stop();
}

void FolderMonitor::watch(const QString &folder, const std::vector<QByteArray> &present)
{
    stop();
    m_folder = folder;
    m_watching = true;
    if (m_notificationsAllowed) {
        constexpr uint32_t mask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                  IN_DELETE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;
        m_inotify = openFolderWatch(toNative(folder), mask);
    }
    folderStampChanged();
    // Until a re-reading has been timed, taking in the listing stands in for it: both spend
    // about the same on each name.
    const qint64 start = threadCpuNs();
    m_complete.reserve(qsizetype(present.size()));
    for (const QByteArray &name : present)
        addComplete(nameKey(name));
    m_lastPassCostNs = threadCpuNs() - start;
    m_lastPassEnd = m_clock();
}

void FolderMonitor::addComplete(quint64 key)
{
    const auto it = m_complete.find(key);
    if (it != m_complete.end()) {
        *it = m_passNumber;
        return;
    }
    m_complete.insert(key, m_passNumber);
    m_completeSum += key;
}

void FolderMonitor::removeComplete(quint64 key)
{
    if (m_complete.remove(key))
        m_completeSum -= key;
}

void FolderMonitor::stop()
{
    closeNotifications();
    if (m_pass)
        ::closedir(m_pass);
    m_pass = nullptr;
    m_passWanted = false;
    m_complete.clear();
    m_completeSum = 0;
    m_pending.clear();
    m_folder.clear();
    m_watching = false;
}

void FolderMonitor::closeNotifications()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    m_inotify = -1;
}

std::vector<QByteArray> FolderMonitor::pendingNames() const
{
    const QList<QByteArray> names = m_pending.keys();
    return std::vector<QByteArray>(names.cbegin(), names.cend());
}

int FolderMonitor::poll()
{
    if (!m_watching)
        return 0;
    const qint64 now = m_clock();
    if (usesNotifications())
        readNotices(now);
    else if (folderStampChanged())
        m_passWanted = true;
    if (!m_pass && (m_passWanted || now - m_lastPassEnd >= rereadInterval())) {
        // A change the notices did not tell is read in detail at once; a re-reading that only
        // makes sure first checks whether anything changed at all.
        m_passForChange = m_passWanted;
        m_passCostNs = 0;
        startPass(now, m_passWanted);
    }
    if (m_pass)
        continuePass(now);
    if (!m_pending.isEmpty())
        settlePending(now);
    return m_passWanted || (m_pass && m_passForChange) ? -1 : completeCount();
}

qint64 FolderMonitor::rereadInterval() const
{
    return std::max(fullRereadMs, m_lastPassCostNs / 1'000'000 * rereadTimeShare);
}

// Applies the queued notices name by name; the folder is re-read only when notices were lost.
void FolderMonitor::readNotices(qint64 now)
{
    readChangeNotices(m_inotify, [this, now](std::uint32_t mask, const char *rawName) {
        if (mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            // Notices were lost or the folder itself went: read it again, and without notices
            // from here on when it went.
            m_passWanted = true;
            if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                closeNotifications();
                return false;
            }
            return true;
        }
        if (!rawName || (mask & IN_ISDIR))
            return true;
        const std::size_t nameLength = std::strlen(rawName);
        if (!isPictureName(rawName, nameLength))
            return true;
        applyNotice(mask, QByteArray(rawName, qsizetype(nameLength)), now);
        return true;
    });
}

void FolderMonitor::applyNotice(std::uint32_t mask, const QByteArray &name, qint64 now)
{
    // A re-reading under way may or may not have read this name already.
    if (m_pass && (mask & (IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM)))
        m_passDisturbed = true;
    if (mask & (IN_DELETE | IN_MOVED_FROM)) {
        m_pending.remove(name);
        removeComplete(nameKey(name));
        return;
    }
    auto it = m_pending.find(name);
    if (mask & (IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO)) {
        // A complete picture written again or replaced keeps its place in the count.
        if (it == m_pending.end() && m_complete.contains(nameKey(name)))
            return;
        if (it == m_pending.end()) {
            it = m_pending.insert(name, Pending{});
            it->announced = true;
            it->stableSince = now;
        }
        if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
            it->closed = true;
    } else if ((mask & IN_MODIFY) && it != m_pending.end()) {
        it->closed = false;
    }
}

bool FolderMonitor::folderStampChanged()
{
    const FileIdentity stamp = FileIdentity::of(toNative(m_folder));
    const bool changed = stamp != m_folderStamp;
    m_folderStamp = stamp;
    return changed;
}

void FolderMonitor::startPass(qint64 now, bool detailed)
{
    m_passWanted = false;
    m_passDisturbed = false;
    m_passDetailed = detailed;
    m_passSum = 0;
    m_passCount = 0;
    m_pass = ::opendir(toNative(m_folder).constData());
    if (!m_pass) {
        m_lastPassEnd = now;
        return; // keep the last known state; a vanished folder grows no pictures
    }
    ++m_passNumber;
}

// Reads on for one slice. A plain re-reading only adds up the names' hashes: when they and the
// number of pictures match what is known, nothing changed unseen. Otherwise a detailed one
// follows, which marks the pictures known as seen again and takes in new ones as pending, to be
// counted once they keep still.
void FolderMonitor::continuePass(qint64 now)
{
    QElapsedTimer slice;
    slice.start();
    const qint64 cpuStart = threadCpuNs();
    const int folderFd = ::dirfd(m_pass);
    bool ended = false;
    for (int read = 0;; ++read) {
        if ((m_sliceEntries > 0 && read == m_sliceEntries) ||
            (read % entriesPerLook == 0 && read > 0 && slice.nsecsElapsed() >= sliceNs))
            break;
        errno = 0;
        const dirent *entry = ::readdir(m_pass);
        if (!entry) {
            if (errno != 0) { // a read error: this pass proves nothing
                ::closedir(m_pass);
                m_pass = nullptr;
                m_lastPassEnd = now;
                return;
            }
            ended = true;
            break;
        }
        const std::size_t length = std::strlen(entry->d_name);
        if (!isPictureName(entry->d_name, length))
            continue;
        const quint64 key = nameKey(entry->d_name, length);
        if (!m_passDetailed) {
            if (entryIs(m_pass, entry, EntryKind::RegularFile)) {
                m_passSum += key;
                ++m_passCount;
            }
            continue;
        }
        const auto known = m_complete.find(key);
        if (known != m_complete.end()) {
            *known = m_passNumber;
            continue;
        }
        const QByteArray name(entry->d_name, qsizetype(length));
        if (m_pending.contains(name) || !entryIs(m_pass, entry, EntryKind::RegularFile))
            continue;
        struct stat st;
        if (::fstatat(folderFd, entry->d_name, &st, 0) != 0)
            continue;
        Pending pending;
        pending.stamp = FileIdentity::of(st);
        pending.stamped = true;
        pending.stableSince = now;
        m_pending.insert(name, pending);
    }
    if (ended)
        finishPass(now);
    m_passCostNs += threadCpuNs() - cpuStart;
    if (!m_pass)
        m_lastPassCostNs = m_passCostNs;
}

void FolderMonitor::finishPass(qint64 now)
{
    ::closedir(m_pass);
    m_pass = nullptr;
    m_lastPassEnd = now;
    if (!m_passDetailed) {
        quint64 sum = m_completeSum;
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            sum += nameKey(it.key());
        if (sum == m_passSum && m_passCount == m_complete.size() + m_pending.size())
            return;
        // Names that came or went meanwhile, as notices told, explain a difference: the notices
        // work, and the next re-reading checks again.
        if (m_passDisturbed)
            return;
        // Something changed that no notice told: read again in detail, and until then the count
        // is in doubt.
        m_passForChange = true;
        startPass(now, true);
        return;
    }
    // What this pass did not see has gone (a name that arrived meanwhile was marked on arrival).
    const quint32 pass = m_passNumber;
    m_complete.removeIf([this, pass](const QHash<quint64, quint32>::iterator &it) {
        if (it.value() == pass)
            return false;
        m_completeSum -= it.key();
        return true;
    });
}

void FolderMonitor::settlePending(qint64 now)
{
    const FolderHandle handle(m_folder);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        Pending &p = it.value();
        FileIdentity stamp;
        if (!handle.stamp(it.key(), &stamp)) {
            it = m_pending.erase(it);
            continue;
        }
        bool settled = false;
        if (!p.stamped || stamp != p.stamp) {
            p.stamp = stamp;
            p.stamped = true;
            p.stableSince = now;
            settled = p.closed;
        } else {
            const qint64 needed = p.announced ? announcedStableMs : 0;
            settled = p.closed || (now > p.stableSince && now - p.stableSince >= needed);
        }
        if (settled) {
            addComplete(nameKey(it.key()));
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace vistrel
