#pragma once

#include "browse/folderlisting.h"
#include "common/requests.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <dirent.h>

#include <functional>
#include <memory>
#include <vector>

namespace vistrel {

struct FolderPass;
struct PassSlice;

// Keeps an up-to-date count of the complete picture files of one folder at almost no cost per
// poll, whatever the folder's size. Change notices (inotify) are applied name by name; without
// them the folder's time says when to look again. The folder is also re-read now and then anyway,
// for file systems whose notices or times are coarse or missing (FAT, network mounts): that
// re-reading is spread over polls in slices of at most 8 ms, and spaced so that it takes a
// small, fixed share of the time however many files the folder holds. A picture that arrives
// while it is still being written is "pending" until it has been closed after writing, or its
// size and time have stopped changing, so that nobody shows it half-made.
// Every look at the disk (the folder's time, a slice of a re-reading, the pending pictures'
// sizes) is made off the caller's thread, one at a time: one that answers at once is taken in at
// once, a later one when it comes, and while one is still to come no other starts, so that a
// folder that stops answering costs one look, and is said to be silent once.
class FolderMonitor : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>; // monotonic milliseconds

    explicit FolderMonitor(QObject *parent = nullptr);
    ~FolderMonitor() override;

    // Starts watching folder, whose picture files were just read as present: they all count as
    // complete.
    void watch(const QString &folder, const std::vector<QByteArray> &present);
    void stop();
    bool isWatching() const { return m_watching; }
    QString folder() const { return m_folder; }
    bool usesNotifications() const { return m_inotify >= 0; }

    // Brings the view of the folder up to date; returns the number of complete picture files, or
    // -1 while a re-reading prompted by a change the notices did not tell (or that lost notices)
    // is under way: the count is not known until it ends.
    int poll();
    // The count is in doubt (it disagrees with a listing just read): read the folder again.
    void requestReread() { m_passWanted = true; }
    int completeCount() const { return int(m_complete.size()); }
    bool hasPending() const { return !m_pending.isEmpty(); }
    bool isPending(const QByteArray &name) const { return m_pending.contains(name); }
    // Whether a picture is still being written: pending, or (as notices tell) written to since
    // it was made or last closed after writing.
    bool isBeingWritten(const QByteArray &name) const
    {
        return m_pending.contains(name) || m_writing.contains(name);
    }
    std::vector<QByteArray> pendingNames() const;

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setNotificationsEnabled(bool enabled) { m_notificationsAllowed = enabled; }
    // At most this many entries are read per poll (0: as many as a few milliseconds allow), so
    // that tests can spread a re-reading of a small folder over several polls.
    void setRereadSlice(int entries) { m_sliceEntries = entries; }
    // Whether a look at the disk is still to answer.
    bool isWaiting() const { return m_look.isPending(); }

signals:
    // The folder has not answered a look for Requests::silence; told once until it answers
    // again.
    void silent();
    // The folder answered a look after it was said to be silent.
    void answering();
    // A picture written to was closed by its writer (or replaced by one moved in whole).
    void closedAfterWriting(const QByteArray &name);

private:
    struct Pending
    {
        FileIdentity stamp;
        qint64 stableSince = 0;
        bool stamped = false;   // stamp holds the file's last seen size and time
        bool closed = false;    // closed after writing, or moved in whole
        bool announced = false; // its creation was seen as a notice
        bool modified = false;  // written to since its creation was seen
    };

    struct WatchStart;
    // Runs work off the caller's thread and applies its answer, at once when it comes within the
    // quick answer's time; false when it did not (or another look is still to answer).
    template<typename Result>
    bool look(std::function<Result()> work, std::function<void(Result &, qint64)> apply);
    void readNotices(qint64 now);
    void applyNotice(std::uint32_t mask, const QByteArray &name, qint64 now);
    void addComplete(quint64 key);
    void removeComplete(quint64 key);
    void startPass(bool detailed);
    void continuePass();
    void takeSlice(PassSlice &slice, qint64 now);
    void finishPass(qint64 now);
    void settlePending();
    void closeNotifications();
    void checkFolderStamp();
    bool takeFolderStamp(const FileIdentity &stamp);
    qint64 rereadInterval() const;

    QString m_folder;
    // Complete pictures by a 64-bit hash of their names (300,000 names share a hash with a chance
    // of about one in a thousand million), each with the number of the last detailed re-reading
    // that saw it. Names would cost more memory than the rest of the program's view of a big
    // folder.
    QHash<quint64, quint32> m_complete;
    quint64 m_completeSum = 0; // the sum of m_complete's keys
    QHash<QByteArray, Pending> m_pending;
    QSet<QByteArray> m_writing; // written to and not closed since, as notices tell
    Clock m_clock;
    FileIdentity m_folderStamp;
    int m_inotify = -1;
    bool m_watching = false;
    bool m_notificationsAllowed = true;
    int m_sliceEntries = 0;

    // The re-reading under way: the open folder, read on from where the last slice stopped.
    std::shared_ptr<FolderPass> m_pass;
    quint32 m_passNumber = 0;
    bool m_passDetailed = false;  // marks names (else it only adds up their hashes)
    bool m_passDisturbed = false; // notices of names coming or going arrived meanwhile
    quint64 m_passSum = 0;        // hashes of the picture names read so far
    qint64 m_passCount = 0;       // and their number
    qint64 m_passCostNs = 0;      // processor time spent on the re-reading under way
    qint64 m_lastPassCostNs = 0;  // processor time the last whole re-reading took
    qint64 m_lastPassEnd = 0;     // clock time it ended
    bool m_passWanted = false;    // a change calls for a re-reading
    bool m_passForChange = false; // the re-reading under way was called for by a change
    bool m_folderStamped = false; // m_folderStamp holds the folder's time as last seen
    qint64 m_waitingSince = 0;    // clock time the look still to answer started
    bool m_toldSilent = false;
    // Last: answers stop before anything else goes.
    Requests m_reads{this};
    RequestLine m_look{m_reads};
};

} // namespace vistrel
