#include "browse/folderbrowser.h"

#include "browse/filelist.h"
#include "browse/folderlisting.h"
#include "browse/foldermonitor.h"
#include "browse/pathmap.h"
#include "browse/picturelistmodel.h"
#include "browse/refillwork.h"
#include "browse/sortorder.h"
#include "browse/subfolders.h"
#include "common/errortext.h"
#include "common/nativename.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace vistrel {

FolderBrowser::FolderBrowser(TreeSelection *tree, QObject *parent)
    : QObject(parent), m_tree(tree), m_file1(new FileList(this)),
      m_list(new PictureListModel(this)), m_monitor(new FolderMonitor(this))
{
    m_refreshTimer.setInterval(refreshIntervalMs);
    m_notice.pending = [this](const QString &folder) { emit folderPending(folder); };
    m_notice.silent = [this](const QString &folder) { emit folderSilent(folder); };
    connect(&m_refreshTimer, &QTimer::timeout, this, &FolderBrowser::refreshTick);
    // The folder shown that stops answering the refresh is told once, as a chosen one is.
    connect(m_monitor, &FolderMonitor::silent, this,
            [this] { emit folderSilent(m_monitor->folder()); });
    // ... and said to answer again once it does, unless a read of the folder is still to come.
    connect(m_monitor, &FolderMonitor::answering, this, [this] {
        if (!m_notice.isPending())
            emit folderPending(QString());
    });
    connect(m_monitor, &FolderMonitor::closedAfterWriting, this, [this](const QByteArray &name) {
        if (m_monitor->folder() == m_file1->path())
            emit pictureWritten(name);
    });
    connect(m_file1, &FileList::pathChanged, this, [this] {
        // Follow the listed folder while refreshing, so that its growth is what gets noticed.
        if (isAutoRefreshOn())
            m_monitor->watch(m_file1->path(), m_file1->names());
        File1_PathChange();
    });
    // While a picture is still being written it stays out of the listing.
    m_file1->setHoldBack([this](const QByteArray &name) {
        return m_monitor->hasPending() && m_monitor->folder() == m_file1->path() &&
               m_monitor->isPending(name);
    });
}

FolderBrowser::~FolderBrowser() = default;

bool FolderBrowser::isBeingWritten(const QByteArray &name) const
{
    return m_monitor->isWatching() && m_monitor->folder() == m_file1->path() &&
           m_monitor->isBeingWritten(name);
}

QString FolderBrowser::currentFolder() const
{
    return m_file1->path();
}

QString FolderBrowser::currentPicturePath() const
{
    return joinFolderAndName(m_file1->path(), m_list->text());
}

QString FolderBrowser::pendingFolder() const
{
    return m_notice.place();
}

void FolderBrowser::reloaddir()
{
    const QString folder = folderForTreePath(m_tree->selectedPath(), m_documentsFolder);
    if (m_notice.isPending()) {
        if (folder == m_notice.place())
            return; // the rest of this reload runs when the folder answers
        dropPending();
    }
    if (m_holddir == folder) {
        if (m_monitor->isWatching() && m_monitor->folder() == folder)
            takeCount(m_monitor->poll());
        else if (!recount(folder))
            return;
    } else if (folder != m_file1->path() && !openFolder(folder)) {
        return;
    }
    finishReload();
}

// The same folder: only growth of its count is noticed, and then the whole list is refilled
// (re-selecting the previous position) and its last entry selected. -1 (never growth) while the
// refresh catches up with a change it has yet to read.
void FolderBrowser::takeCount(int present)
{
    if (m_file1->count() >= present)
        return;
    const auto grown = [this, present] {
        m_list->setListIndex(m_list->count() - 1);
        // The listing just read is the truth: a monitor that counts more missed a removal.
        if (m_file1->count() < present)
            m_monitor->requestReread();
    };
    if (!refillFromNotices(present, grown))
        rereadAndRefill({}, grown);
}

// Counts the pictures of the folder shown, chosen again while nothing watches it, off the
// window's thread. True when the count is taken in now; false when it is still to come (the
// rest of the reload then runs when it comes).
bool FolderBrowser::recount(const QString &folder)
{
    // The same read as the folder tree's of the folder chosen: one listing serves both.
    const auto count = [](const FolderRead &read) {
        return read.pictures.ok ? int(read.pictures.names.size()) : -1;
    };
    const std::optional<SharedFolderRead> now = m_refill.run<SharedFolderRead>(
        {folder, folderReadKind()}, [folder] { return readFolder(folder); },
        [this, count](SharedFolderRead late) {
            takeCount(count(*late));
            finishReload();
        });
    if (now)
        takeCount(count(**now));
    return now.has_value();
}

void FolderBrowser::finishReload()
{
    m_holddir = m_tree->selectedPath();
    if (m_list->count() == 0)
        emit pictureHidden();
}

// Reads the folder off the window's thread. True when its listing is taken in now; false when
// it could not be read or its answer is still to come.
bool FolderBrowser::openFolder(const QString &folder)
{
    // The same read as the folder tree's of the folder chosen: one listing serves both.
    const std::optional<SharedFolderRead> now = m_fill.run<SharedFolderRead>(
        {folder, folderReadKind()}, [folder] { return readFolder(folder); },
        [this, folder](SharedFolderRead late) {
            if (orderChosen(folder, *late))
                finishReload();
        });
    return now && orderChosen(folder, **now);
}

// Puts the chosen folder's listing in order (by date, reading every file's time) and takes it
// in. True when it is taken in now.
bool FolderBrowser::orderChosen(const QString &folder, const FolderRead &read)
{
    auto opening = std::make_shared<FolderOpening>();
    opening->names = read.pictures;
    opening->byDate = sortsByDate();
    if (m_notificationsEnabled)
        opening->changes = read.changes;
    if (!opening->names.ok)
        return take(folder, *opening);
    const auto names = std::make_shared<const std::vector<QByteArray>>(opening->names.names);
    Request request(opening->byDate ? folder : QString());
    request.about = folder;
    std::optional<std::vector<PictureEntry>> now = m_fill.run<std::vector<PictureEntry>>(
        request,
        [folder, names, byDate = opening->byDate] { return orderPictures(folder, *names, byDate); },
        [this, folder, opening](std::vector<PictureEntry> late) {
            opening->ordered = std::move(late);
            if (take(folder, *opening))
                finishReload();
        });
    if (!now)
        return false;
    opening->ordered = std::move(*now);
    return take(folder, *opening);
}

bool FolderBrowser::take(const QString &folder, FolderOpening &opening)
{
    if (!opening.names.ok) {
        emit folderUnreadable(folder, errorText(opening.names.error));
        return false;
    }
    // The fill that the new path sets off takes the order read with the listing.
    m_opening = &opening;
    m_file1->setPath(folder, std::move(opening.names));
    m_opening = nullptr;
    m_changes = std::move(*opening.changes);
    return true;
}

void FolderBrowser::dropPending()
{
    m_fill.drop();
    m_refill.drop();
}

void FolderBrowser::fill(bool byDate)
{
    dropSort();
    if (m_opening) {
        // A chosen folder comes with its order, read along with its listing.
        FolderOpening *opening = std::exchange(m_opening, nullptr);
        setOrdered(std::move(opening->ordered), opening->byDate);
        if (opening->byDate == byDate)
            return;
    }
    // setEntries replaces the old entries in one reset; no separate clearing first.
    RefillWork work(m_file1->path(), byDate, FolderNames{true, 0, m_file1->names(), false});
    work.relists = false;
    refill(std::move(work), {});
}

void FolderBrowser::setOrdered(std::vector<PictureEntry> ordered, bool byDate)
{
    m_list->setEntries(std::move(ordered));
    m_listFilled = true;
    m_listedByDate = byDate;
    reselect();
}

// Dates are read file by file: in a folder of many thousands, or on a slow mount, that takes
// long, and so does sorting them.
void FolderBrowser::sortInto(bool byDate)
{
    dropSort();
    const QString folder = m_file1->path();
    // One copy of the names, shared by the work and its answer.
    const auto names = std::make_shared<const std::vector<QByteArray>>(m_file1->names());
    std::optional<std::vector<PictureEntry>> now = m_order.run<std::vector<PictureEntry>>(
        byDate ? folder : QString(),
        [folder, names, byDate] { return orderPictures(folder, *names, byDate); },
        [this, folder, names, byDate](std::vector<PictureEntry> late) {
            emit sortPending(false);
            // The listing changed meanwhile: put what is listed now in order.
            if (folder != m_file1->path() || *names != m_file1->names())
                sortInto(byDate);
            else
                setOrdered(std::move(late), byDate);
        });
    if (now)
        setOrdered(std::move(*now), byDate);
    else
        emit sortPending(true);
}

void FolderBrowser::dropSort()
{
    if (!m_order.isPending())
        return;
    m_order.drop();
    emit sortPending(false);
}

void FolderBrowser::reselect()
{
    if (m_holddir == m_file1->path() && m_curslide >= 0 && m_curslide < m_list->count())
        m_list->setListIndex(m_curslide);
}

void FolderBrowser::sortByDate()
{
    m_sortType = QStringLiteral("Date");
    sortInto(true);
}

void FolderBrowser::sortByName()
{
    m_sortType = QStringLiteral("Name");
    sortInto(false);
}

} // namespace vistrel
