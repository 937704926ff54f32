#pragma once

#include "browse/folderlisting.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

namespace vistrel {

// Keeps an up-to-date count of the complete picture files of one folder at almost no cost per
// poll: change notices (inotify) and the folder's time say when to look again, and the whole
// listing is re-read every few seconds anyway, for file systems whose notices or times are coarse
// or missing (FAT, network mounts). A picture that arrives while it is still being written is
// "pending" until it has been closed after writing, or its size and time have stopped changing,
// so that nobody shows it half-made.
class FolderMonitor : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>; // monotonic milliseconds

    explicit FolderMonitor(QObject *parent = nullptr);
    ~FolderMonitor() override;

    // Starts watching folder; every picture already there counts as complete.
    void watch(const QString &folder);
    void stop();
    bool isWatching() const { return m_watching; }
    QString folder() const { return m_folder; }
    bool usesNotifications() const { return m_watchDescriptor >= 0; }

    // Brings the view of the folder up to date; returns the number of complete picture files.
    int poll();
    int completeCount() const { return m_complete; }
    bool isPending(const QByteArray &name) const;

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setFullRereadInterval(qint64 ms) { m_fullRereadMs = ms; }
    void setNotificationsEnabled(bool enabled) { m_notificationsAllowed = enabled; }

private:
    struct Seen
    {
        FileStamp stamp;
        qint64 stableSince = 0;
        bool complete = false;
        bool closed = false;    // closed after writing, or moved in whole
        bool announced = false; // its creation was seen as a notice
    };

    bool readNotices();
    void reread(qint64 now, bool allComplete);
    void settlePending(qint64 now);
    void closeNotifications();
    void countStates();
    bool folderStampChanged();

    QString m_folder;
    QHash<QByteArray, Seen> m_files;
    Clock m_clock;
    qint64 m_lastFullRead = 0;
    qint64 m_fullRereadMs = 2000;
    FileStamp m_folderStamp;
    int m_inotify = -1;
    int m_watchDescriptor = -1;
    int m_complete = 0;
    int m_pending = 0;
    bool m_watching = false;
    bool m_notificationsAllowed = true;
};

} // namespace vistrel
