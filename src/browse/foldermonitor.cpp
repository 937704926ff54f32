#include "browse/foldermonitor.h"

#include "browse/folderchanges.h"
#include "browse/folderpass.h"
#include "common/nativename.h"

#include <QElapsedTimer>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace vistrel {
namespace {

// A picture announced by a creation notice but never written nor closed after writing (a link
// made to a picture) counts as complete once it has kept still this long; one written to waits
// for its writer to close it, however long it pauses.
constexpr qint64 announcedStableMs = 1000;

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

FileIdentity folderStamp(const QString &folder)
{
    return FileIdentity::of(toNative(folder));
}

// A change-notice descriptor made off the window's thread; closed unless it is taken.
struct NoticeDescriptor
{
    int fd = -1;
    ~NoticeDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int take() { return std::exchange(fd, -1); }
};

} // namespace

struct FolderMonitor::WatchStart
{
    std::shared_ptr<NoticeDescriptor> notices = std::make_shared<NoticeDescriptor>();
    FileIdentity stamp;
};

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
    // Watching a folder and reading its time touch the disk: a folder slow to answer is watched
    // from when it answers.
    const bool notices = m_notificationsAllowed;
    look<WatchStart>(
        [folder, notices] {
            WatchStart start;
            if (notices) {
                constexpr uint32_t mask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                          IN_DELETE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;
                start.notices->fd = openFolderWatch(toNative(folder), mask);
            }
            start.stamp = folderStamp(folder);
            return start;
        },
        [this](WatchStart &start, qint64) {
            m_inotify = start.notices->take();
            takeFolderStamp(start.stamp);
        });
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
    // A look still to answer is dropped; its thread closes what it opened.
    m_look.drop();
    m_toldSilent = false;
    m_folderStamped = false;
    closeNotifications();
    m_pass.reset();
    m_passWanted = false;
    m_complete.clear();
    m_completeSum = 0;
    m_pending.clear();
    m_writing.clear();
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

template<typename Result>
bool FolderMonitor::look(std::function<Result()> work, std::function<void(Result &, qint64)> apply)
{
    if (m_look.isPending())
        return false;
    std::optional<Result> quick =
        m_look.run<Result>(m_folder, std::move(work), [this, apply](Result late) {
            if (std::exchange(m_toldSilent, false))
                emit answering();
            apply(late, m_clock());
        });
    if (!quick) {
        m_waitingSince = m_clock();
        return false;
    }
    apply(*quick, m_clock());
    return true;
}

int FolderMonitor::poll()
{
    if (!m_watching)
        return 0;
    const qint64 now = m_clock();
    if (usesNotifications())
        readNotices(now);
    else
        checkFolderStamp();
    if (!m_pass && !m_look.isPending() &&
        (m_passWanted || now - m_lastPassEnd >= rereadInterval())) {
        // A change the notices did not tell is read in detail at once; a re-reading that only
        // makes sure first checks whether anything changed at all.
        m_passForChange = m_passWanted;
        m_passCostNs = 0;
        startPass(m_passWanted);
    }
    if (m_pass)
        continuePass();
    if (!m_pending.isEmpty())
        settlePending();
    if (m_look.isPending() && !m_toldSilent && now - m_waitingSince >= Requests::silence.count()) {
        m_toldSilent = true;
        emit silent();
    }
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
        m_writing.remove(name);
        m_pending.remove(name);
        removeComplete(nameKey(name));
        return;
    }
    // Written since it was created or last closed: being written until its writer closes it.
    if (mask & (IN_CREATE | IN_MODIFY))
        m_writing.insert(name);
    if ((mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) && m_writing.remove(name))
        emit closedAfterWriting(name);
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
        it->modified = true;
    }
}

// Without notices, a change of the folder's time calls for a re-reading.
void FolderMonitor::checkFolderStamp()
{
    look<FileIdentity>([folder = m_folder] { return folderStamp(folder); },
                       [this](FileIdentity &stamp, qint64) {
                           if (takeFolderStamp(stamp))
                               m_passWanted = true;
                       });
}

bool FolderMonitor::takeFolderStamp(const FileIdentity &stamp)
{
    const bool changed = m_folderStamped && stamp != m_folderStamp;
    m_folderStamp = stamp;
    m_folderStamped = true;
    return changed;
}

void FolderMonitor::startPass(bool detailed)
{
    m_passWanted = false;
    m_passDisturbed = false;
    m_passDetailed = detailed;
    m_passSum = 0;
    m_passCount = 0;
    m_pass = std::make_shared<FolderPass>();
    m_pass->folder = m_folder;
    if (detailed)
        m_pass->known = m_complete;
    ++m_passNumber;
}

// Reads on for one slice. A plain re-reading only adds up the names' hashes: when they and the
// number of pictures match what is known, nothing changed unseen. Otherwise a detailed one
// follows, which marks the pictures known as seen again and takes in new ones as pending, to be
// counted once they keep still. The slice is read off the caller's thread; what it found is taken
// in when it answers.
void FolderMonitor::continuePass()
{
    const bool detailed = m_passDetailed;
    const int limit = m_sliceEntries;
    QSet<QByteArray> pending;
    if (detailed) {
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            pending.insert(it.key());
    }
    look<PassSlice>([stream = m_pass, detailed, limit,
                     pending] { return readPassSlice(*stream, detailed, limit, pending); },
                    [this, stream = m_pass](PassSlice &slice, qint64 now) {
                        if (stream == m_pass)
                            takeSlice(slice, now);
                    });
}

void FolderMonitor::takeSlice(PassSlice &slice, qint64 now)
{
    m_passCostNs += slice.costNs;
    if (slice.failed) {
        m_pass.reset();
        m_lastPassEnd = now;
        m_lastPassCostNs = m_passCostNs;
        return;
    }
    m_passSum += slice.sum;
    m_passCount += slice.count;
    for (const quint64 key : slice.seen) {
        const auto known = m_complete.find(key);
        if (known != m_complete.end())
            *known = m_passNumber;
    }
    for (auto &[name, stamp] : slice.found) {
        if (m_pending.contains(name) || m_complete.contains(nameKey(name)))
            continue;
        Pending pending;
        pending.stamp = stamp;
        pending.stamped = true;
        pending.stableSince = now;
        m_pending.insert(name, pending);
    }
    if (slice.ended)
        finishPass(now);
    if (!m_pass)
        m_lastPassCostNs = m_passCostNs;
}

void FolderMonitor::finishPass(qint64 now)
{
    m_pass.reset();
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
        startPass(true);
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

// The pictures still pending are looked at (off the caller's thread); each is counted once it
// has been closed after writing, or its size and time keep still.
void FolderMonitor::settlePending()
{
    std::vector<QByteArray> names = pendingNames();
    look<std::vector<std::optional<FileIdentity>>>(
        [folder = m_folder, names] {
            const FolderHandle handle(folder);
            std::vector<std::optional<FileIdentity>> stamps(names.size());
            for (std::size_t i = 0; i < names.size(); ++i) {
                FileIdentity stamp;
                if (handle.stamp(names[i], &stamp))
                    stamps[i] = stamp;
            }
            return stamps;
        },
        [this, names](std::vector<std::optional<FileIdentity>> &stamps, qint64 now) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                const auto it = m_pending.find(names[i]);
                if (it == m_pending.end())
                    continue;
                if (!stamps[i]) {
                    m_pending.erase(it);
                    continue;
                }
                Pending &p = it.value();
                const FileIdentity &stamp = *stamps[i];
                bool settled = false;
                if (!p.stamped || stamp != p.stamp) {
                    p.stamp = stamp;
                    p.stamped = true;
                    p.stableSince = now;
                    settled = p.closed;
                } else if (p.announced && p.modified) {
                    // Written through a descriptor that is still open: its close tells the end.
                    settled = p.closed;
                } else {
                    const qint64 needed = p.announced ? announcedStableMs : 0;
                    settled = p.closed || (now > p.stableSince && now - p.stableSince >= needed);
                }
                if (settled) {
                    // One never written after it was made (a link) is not being written.
                    if (!p.modified)
                        m_writing.remove(names[i]);
                    addComplete(nameKey(names[i]));
                    m_pending.erase(it);
                }
            }
        });
}

} // namespace vistrel
