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
// The re-readings (folderrereading.cpp) look with it too.
template bool FolderMonitor::look<PassSlice>(std::function<PassSlice()>,
                                             std::function<void(PassSlice &, qint64)>);

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
