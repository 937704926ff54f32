#include "browse/refillwork.h"

namespace vistrel {

std::vector<PictureEntry> orderPictures(const QString &folder, const std::vector<QByteArray> &names,
                                        bool byDate, const std::vector<std::int64_t> *mtimes)
{
    if (!byDate)
        return orderByName(names);
    return mtimes ? orderByTimes(names, *mtimes) : orderByDate(folder, names);
}

RefillAnswer readAndOrder(const RefillWork &work)
{
    RefillAnswer answer;
    if (work.listing) {
        answer.listing = *work.listing;
    } else if (!work.notices) {
        answer.listing = readPictureNames(work.folder);
    } else {
        // One look at each file, whose time orders it too: on a slow mount every look counts.
        const FolderHandle folder(work.folder);
        answer.listing.ok = true;
        FileIdentity stamp;
        std::vector<std::int64_t> times;
        for (const QByteArray &name : work.changed) {
            bool link = false;
            const bool regular = folder.stamp(name, &stamp, &link);
            // Also a link that leads nowhere yet: what it leads to may come without a notice.
            answer.listing.mayHoldLinks = answer.listing.mayHoldLinks || link;
            if (!regular)
                continue;
            answer.listing.names.push_back(name);
            times.push_back(stamp.mtimeSec);
        }
        answer.ordered = orderPictures(work.folder, answer.listing.names, work.byDate, &times);
        return answer;
    }
    if (answer.listing.ok)
        answer.ordered = orderPictures(work.folder, answer.listing.names, work.byDate);
    return answer;
}

} // namespace vistrel
