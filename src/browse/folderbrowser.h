#pragma once

#include "browse/folderchanges.h"
#include "browse/folderlisting.h"
#include "browse/sortorder.h"
#include "common/requests.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace vistrel {

class FileList;
class FolderMonitor;
class PictureListModel;
struct FolderOpening;
struct FolderRead;
struct RefillAnswer;
struct RefillWork;

// What the browser needs of the folder tree: the text of its selected node.
class TreeSelection
{
public:
    virtual ~TreeSelection() = default;
    virtual QString selectedPath() const = 0;
};

// Turns the folder tree's selection into the folder listed, fills the picture list by name or by
// date, re-selects the previous position after a refill of the same folder, and, while automatic
// refresh is on, brings newly arrived pictures into the list every 60 ms. A chosen folder is read
// and ordered off the window's thread, and so is every refill: one that answers at once is taken
// in as if read in place; one that does not is pending until its answer comes (the rest of the
// reload then runs), and choosing another folder meanwhile drops that answer.
class FolderBrowser : public QObject
{
    Q_OBJECT

public:
    static constexpr int refreshIntervalMs = 60;

    explicit FolderBrowser(TreeSelection *tree, QObject *parent = nullptr);
    ~FolderBrowser() override;

    PictureListModel *list() const { return m_list; }
    FileList *files() const { return m_file1; }
    FolderMonitor *monitor() const { return m_monitor; }

    // Exactly "Date" or "Name".
    QString sortType() const { return m_sortType; }
    void setSortType(const QString &sortType) { m_sortType = sortType; }
    QString holddir() const { return m_holddir; }
    void setHolddir(const QString &path) { m_holddir = path; }
    int curslide() const { return m_curslide; }
    void setCurslide(int index) { m_curslide = index; }
    void setDocumentsFolder(const QString &folder) { m_documentsFolder = folder; }
    QString documentsFolder() const { return m_documentsFolder; }
    // The chosen folder whose listing is still to come; empty when none is.
    QString pendingFolder() const;

    // The folder the picture list is built from.
    QString currentFolder() const;
    // The folder, a slash unless it ends with one, then the current entry's name: with nothing
    // selected, the folder itself.
    QString currentPicturePath() const;
    QByteArray currentNativePath() const;

    void reloaddir();
    void autorefresh();
    bool isAutoRefreshOn() const { return m_refreshTimer.isActive(); }
    // Whether the file system's change notices are used, by the refresh and by refills; without
    // them folders are read again. On by default.
    void setNotificationsEnabled(bool enabled);
    // One tick of the refresh timer; tests call it directly.
    void refreshTick() { reloaddir(); }

    void listbydate() { fill(true); }
    void listbyname() { fill(false); }
    // Refills the list in the current sort order; run when the listing changes, and after the
    // folder was re-read because a file was deleted.
    void File1_PathChange();
    // Re-reads the listing (unless given, read beforehand off the window's thread) and refills
    // the list, as after a delete; then runs done. A folder slow to answer is pending meanwhile,
    // as a chosen one is.
    void rereadAndRefill(std::optional<FolderNames> listing = {}, std::function<void()> done = {});
    // Whether a refill of the folder shown can be made from the change notices alone (taking in
    // those that arrived), giving what re-reading and ordering the whole folder would.
    bool refillsFromNotices();
    // Whether a picture of the folder shown is still being written, as automatic refresh knows
    // it (false while refresh is off).
    bool isBeingWritten(const QByteArray &name) const;

    // The sort commands without their surfaces. The folder shown is put in the new order off
    // the window's thread: within a moment as if in place, else the list keeps its order until
    // the new one comes (sortPending), and a refill or another sort meanwhile drops it.
    void sortByDate();
    void sortByName();
    bool isSortPending() const { return m_order.isPending(); }

signals:
    void autoRefreshChanged(bool on);
    // The list became empty after a reload: the picture is hidden.
    void pictureHidden();
    // The chosen folder could not be read; the previous folder and list stay.
    void folderUnreadable(const QString &folder, const QString &reason);
    // The chosen folder is being read; empty once no folder is pending any more (after the
    // answer was taken in, or dropped).
    void folderPending(const QString &folder);
    // The folder pending has not answered for Requests::silence; told once for each choice.
    void folderSilent(const QString &folder);
    // A picture of the folder shown that was being written has been closed by its writer.
    void pictureWritten(const QByteArray &name);
    // A sort of the folder shown is under way (true), or no longer (false).
    void sortPending(bool pending);

private:
    bool sortsByDate() const { return m_sortType == QLatin1String("Date"); }
    bool openFolder(const QString &folder);
    bool orderChosen(const QString &folder, const FolderRead &read);
    bool take(const QString &folder, FolderOpening &opening);
    void finishReload();
    void dropPending();
    void reselect();
    void fill(bool byDate);
    void refill(RefillWork work, const std::function<void()> &done, int counted = 0);
    void takeRefill(const RefillWork &work, RefillAnswer &answer, const std::function<void()> &done,
                    int counted);
    void sortInto(bool byDate);
    void setOrdered(std::vector<PictureEntry> ordered, bool byDate);
    void dropSort();
    bool refillFromNotices(int counted, const std::function<void()> &done);
    std::vector<QByteArray> pendingNames() const;
    void takeCount(int present);
    bool recount(const QString &folder);
    void startRefresh(FolderNames listing);

    TreeSelection *m_tree;
    FileList *m_file1;
    PictureListModel *m_list;
    FolderMonitor *m_monitor;
    // What changed in the listed folder since its listing was read for the list.
    FolderChanges m_changes;
    QTimer m_refreshTimer;
    QString m_sortType = QStringLiteral("Name");
    QString m_holddir;
    QString m_documentsFolder;
    int m_curslide = 0;
    // The list was filled from the listed folder, in this order (date or name).
    bool m_listFilled = false;
    bool m_listedByDate = false;
    bool m_notificationsEnabled = true;
    // The chosen folder being taken in, with its order read along with its listing.
    FolderOpening *m_opening = nullptr;
    // The folder chosen or shown while it is read for the list; told as pending, then silent.
    PendingNotice m_notice;
    Requests m_reads{this};
    // A chosen folder's listing and order.
    RequestLine m_fill{m_reads, &m_notice};
    // The fills, refills and counts of the folder shown.
    RequestLine m_refill{m_reads, &m_notice};
    // A sort of the folder shown.
    RequestLine m_order{m_reads};
    // The listing read again when automatic refresh is switched on.
    RequestLine m_relist{m_reads};
};

} // namespace vistrel
