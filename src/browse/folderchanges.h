#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace vistrel {

// A new non-blocking inotify descriptor watching the folder for the events in mask; -1 when
// notices cannot be had for it.
int openFolderWatch(const QByteArray &nativeFolder, std::uint32_t mask);

// Hands every change notice waiting on an inotify descriptor to handle, without blocking: its
// mask and the name it concerns (null for the watched folder itself). Stops early when handle
// returns false.
void readChangeNotices(int descriptor,
                       const std::function<bool(std::uint32_t mask, const char *name)> &handle);

// The picture files of one folder that changed (came, went, were written or given another time)
// since a moment, by name, from the file system's change notices; and whether those names are all
// that changed: notices can be lost, the folder can go, and on network and FUSE file systems
// others change files without a notice here. The notices wait in the kernel until asked for, so
// following a folder costs nothing while nobody asks.
class FolderChanges
{
public:
    FolderChanges() = default;
    ~FolderChanges();
    FolderChanges(const FolderChanges &) = delete;
    FolderChanges &operator=(const FolderChanges &) = delete;
    FolderChanges(FolderChanges &&other) noexcept { swap(other); }
    FolderChanges &operator=(FolderChanges &&other) noexcept
    {
        swap(other);
        return *this;
    }
    void swap(FolderChanges &other) noexcept;

    // Follows folder from now on (an empty text follows nothing).
    void follow(const QString &folder);
    QString folder() const { return m_folder; }
    // Changes count from now on; still (pictures still being written) count as changed.
    void restart(const std::vector<QByteArray> &still);
    // Takes in the notices that arrived; true when names() holds every change since the start.
    bool known();
    std::vector<QByteArray> names() const;

private:
    void close();
    void forget();

    QString m_folder;
    int m_descriptor = -1;
    bool m_trusted = false; // notices tell of every change to this folder
    bool m_known = false;
    QSet<QByteArray> m_names;
};

} // namespace vistrel
