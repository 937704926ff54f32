#include "browse/sortorder.h"

#include "browse/folderlisting.h"
#include "common/nativename.h"

#include <algorithm>
#include <ctime>
#include <mutex>

namespace vistrel {
namespace {

bool lessByName(const QString &aFolded, const QString &a, const QString &bFolded, const QString &b)
{
    const int folded = aFolded.compare(bFolded);
    if (folded != 0)
        return folded < 0;
    return a.compare(b) < 0;
}

struct SortItem
{
    std::int64_t timeKey;
    QString name;
    const QByteArray *native;
    // The name folded, made on first need: in name order every comparison needs it, in date
    // order only the few files of the same second do.
    mutable QString folded;
    mutable bool isFolded;

    const QString &foldedName() const
    {
        if (!isFolded) {
            folded = name.toCaseFolded();
            isFolded = true;
        }
        return folded;
    }
};

bool itemNameLess(const SortItem &a, const SortItem &b)
{
    return lessByName(a.foldedName(), a.name, b.foldedName(), b.name);
}

SortItem makeItem(const QByteArray &native, std::int64_t timeKey)
{
    return SortItem{timeKey, fromNative(native), &native, QString(), false};
}

bool lessByDate(const SortItem &a, const SortItem &b)
{
    if (a.timeKey != b.timeKey)
        return a.timeKey < b.timeKey;
    return itemNameLess(a, b);
}

// Sorts positions rather than the items themselves: moving two strings per swap costs more than
// the comparisons of a large folder.
template<typename Less>
std::vector<PictureEntry> sortedEntries(std::vector<SortItem> &items, Less less)
{
    std::vector<std::uint32_t> order(items.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&items, &less](std::uint32_t a, std::uint32_t b) {
        return less(items[a], items[b]);
    });
    std::vector<PictureEntry> entries;
    entries.reserve(items.size() + items.size() / 64 + 16); // room for pictures that arrive later
    for (const std::uint32_t i : order)
        entries.push_back(PictureEntry{std::move(items[i].name), *items[i].native, items[i].timeKey,
                                       nameKey(*items[i].native)});
    return entries;
}

} // namespace

bool nameLess(const QString &a, const QString &b)
{
    return lessByName(a.toCaseFolded(), a, b.toCaseFolded(), b);
}

std::int64_t localTimeKey(std::int64_t secondsSinceEpoch)
{
    // localtime_r reads the zone only once after tzset(), unlike localtime() and QDateTime's
    // conversions, which may consult it for every call.
    static std::once_flag zoneLoaded;
    std::call_once(zoneLoaded, [] { ::tzset(); });
    const std::time_t t = std::time_t(secondsSinceEpoch);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return 0;
    const std::int64_t date =
        std::int64_t(local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    return date * 1000000 + local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
}

std::vector<PictureEntry> orderByName(const std::vector<QByteArray> &names)
{
    std::vector<SortItem> items;
    items.reserve(names.size());
    for (const QByteArray &native : names)
        items.push_back(makeItem(native, 0));
    return sortedEntries(items, itemNameLess);
}

std::vector<PictureEntry> orderByDate(const QString &folder, const std::vector<QByteArray> &names)
{
    std::vector<QByteArray> stamped;
    std::vector<std::int64_t> mtimes;
    stamped.reserve(names.size());
    mtimes.reserve(names.size());
    const FolderHandle handle(folder);
    FileIdentity stamp;
    for (const QByteArray &native : names) {
        if (!handle.stamp(native, &stamp))
            continue;
        stamped.push_back(native);
        mtimes.push_back(stamp.mtimeSec);
    }
    return orderByTimes(stamped, mtimes);
}

std::vector<PictureEntry> orderByTimes(const std::vector<QByteArray> &names,
                                       const std::vector<std::int64_t> &mtimes)
{
    std::vector<SortItem> items;
    items.reserve(names.size());
    // Neighbouring files are often stamped within the same second; convert each second once.
    std::int64_t lastSeconds = -1;
    std::int64_t lastKey = 0;
    for (std::size_t i = 0; i < names.size() && i < mtimes.size(); ++i) {
        if (mtimes[i] != lastSeconds) {
            lastSeconds = mtimes[i];
            lastKey = localTimeKey(lastSeconds);
        }
        items.push_back(makeItem(names[i], lastKey));
    }
    return sortedEntries(items, lessByDate);
}

bool comesBefore(const PictureEntry &a, const PictureEntry &b, bool byDate)
{
    const SortItem x{a.timeKey, a.name, &a.nativeName, QString(), false};
    const SortItem y{b.timeKey, b.name, &b.nativeName, QString(), false};
    return byDate ? lessByDate(x, y) : itemNameLess(x, y);
}

} // namespace vistrel
