// The browser's Auto Refresh: the folder watched, and the list refilled from what changed.

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

void FolderBrowser::autorefresh()
{
    if (isAutoRefreshOn()) {
        m_refreshTimer.stop();
        m_relist.drop();
        m_monitor->stop();
        emit autoRefreshChanged(false);
        return;
    }
    // Re-read first so that pictures that arrived while refresh was off do not count as growth;
    // a folder slow to answer is watched from when it answers, and meanwhile grows nothing.
    const QString folder = m_file1->path();
    std::optional<FolderNames> now = m_relist.run<FolderNames>(
        folder,
        [folder] {
            return folder.isEmpty() ? FolderNames{true, 0, {}, false} : readPictureNames(folder);
        },
        [this, folder](FolderNames late) {
            if (isAutoRefreshOn() && m_file1->path() == folder)
                startRefresh(std::move(late));
        });
    if (now)
        startRefresh(std::move(*now));
    m_refreshTimer.start();
    emit autoRefreshChanged(true);
}

void FolderBrowser::startRefresh(FolderNames listing)
{
    m_file1->refresh(std::move(listing));
    if (!m_file1->path().isEmpty())
        m_monitor->watch(m_file1->path(), m_file1->names());
    reloaddir();
}

void FolderBrowser::setNotificationsEnabled(bool enabled)
{
    m_notificationsEnabled = enabled;
    m_monitor->setNotificationsEnabled(enabled);
    if (!enabled)
        m_changes.follow(QString());
}

void FolderBrowser::File1_PathChange()
{
    if (m_sortType == QLatin1String("Date"))
        listbydate();
    if (m_sortType == QLatin1String("Name"))
        listbyname();
}

void FolderBrowser::rereadAndRefill(std::optional<FolderNames> listing, std::function<void()> done)
{
    // Changes count from this reading.
    m_changes.restart(pendingNames());
    refill(RefillWork(m_file1->path(), sortsByDate(), std::move(listing)), done);
}

std::vector<QByteArray> FolderBrowser::pendingNames() const
{
    if (m_monitor->isWatching() && m_monitor->folder() == m_file1->path())
        return m_monitor->pendingNames();
    return {};
}

// The list was filled from the listing as it was read when the changes began to count, or later
// (switching refresh on re-reads the listing alone): the changes cover both.
bool FolderBrowser::refillsFromNotices()
{
    const bool byDate = sortsByDate();
    return m_listFilled && m_listedByDate == byDate &&
           (byDate || m_sortType == QLatin1String("Name")) && !m_file1->mayHoldLinks() &&
           m_changes.folder() == m_file1->path() && m_changes.known();
}

// The same as re-reading the listing and refilling the list (File1_PathChange), for a fraction of
// the cost in a big folder: only the files the notices named since the listing was read are looked
// at, and merged into the list in order.
bool FolderBrowser::refillFromNotices(int counted, const std::function<void()> &done)
{
    if (!refillsFromNotices())
        return false;
    RefillWork work(m_file1->path(), m_listedByDate);
    work.notices = true;
    work.changed = m_changes.names();
    m_changes.restart(pendingNames());
    refill(std::move(work), done, counted);
    return true;
}

// Reads and orders off the window's thread, and takes the answer in: at once when it comes
// within a moment, else when it comes, unless another folder is shown by then; a listing
// changed meanwhile has the folder read again. Then runs done.
void FolderBrowser::refill(RefillWork work, const std::function<void()> &done, int counted)
{
    const quint64 listing = m_file1->generation();
    const auto asked = std::make_shared<const RefillWork>(std::move(work));
    // Names given in name order are ordered without a look at the folder, however it answers.
    const bool looks = !asked->listing || asked->byDate;
    Request request(looks ? asked->folder : QString());
    request.about = asked->folder;
    std::optional<RefillAnswer> now = m_refill.run<RefillAnswer>(
        request, [asked] { return readAndOrder(*asked); },
        [this, asked, listing, done, counted](RefillAnswer late) {
            if (asked->folder != m_file1->path())
                return;
            if (m_file1->generation() != listing) {
                rereadAndRefill({}, done);
            } else {
                takeRefill(*asked, late, done, counted);
                // Sorted otherwise meanwhile: the new order, of what is listed now.
                if (m_sortType != QLatin1String(asked->byDate ? "Date" : "Name"))
                    File1_PathChange();
            }
        });
    if (now)
        takeRefill(*asked, *now, done, counted);
}

void FolderBrowser::takeRefill(const RefillWork &work, RefillAnswer &answer,
                               const std::function<void()> &done, int counted)
{
    auto &ordered = answer.ordered;
    // Pictures still being written stay out of the list as they stay out of the listing.
    const auto held = [this](const PictureEntry &entry) {
        return m_file1->isHeldBack(entry.nativeName);
    };
    ordered.erase(std::remove_if(ordered.begin(), ordered.end(), held), ordered.end());
    if (work.notices) {
        m_file1->update(work.changed, answer.listing);
        // Fewer pictures than the monitor counts: something changed that no notice told (a
        // file changed through another name, say). Reading the whole folder finds it.
        if (m_file1->count() < counted)
            return rereadAndRefill({}, done);
        m_list->mergeEntries(work.changed, std::move(ordered), work.byDate);
        reselect();
    } else if (!work.relists || m_file1->refresh(std::move(answer.listing))) {
        dropSort();
        setOrdered(std::move(ordered), work.byDate);
    }
    if (done)
        done();
}

} // namespace vistrel
