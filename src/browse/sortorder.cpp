#include "browse/sortorder.h"

#include "browse/folderlisting.h"
#include "browse/nativename.h"

#include <algorithm>
#include <ctime>
#include <mutex>

namespace vistrel {
namespace {

// Name order: ignoring letter case (the folded texts), then by the exact text.
bool lessByName(const QString &aFolded, const QString &a, const QString &bFolded, const QString &b)
{
    const int folded = aFolded.compare(bFolded);
    if (folded != 0)
        return folded < 0;
    return a.compare(b) < 0;
}

// Date order: the time to the second, then the name as in name order. Names are compared only for
// the few files of the same second, so they are not folded beforehand.
bool lessByDate(const PictureEntry &a, const PictureEntry &b)
{
    if (a.timeKey != b.timeKey)
        return a.timeKey < b.timeKey;
    const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return a.name.compare(b.name) < 0;
}

PictureEntry makeEntry(const QByteArray &native, std::int64_t timeKey)
{
    return PictureEntry{fromNative(native), native, timeKey, nameKey(native)};
}

// Room for pictures that arrive later, so that bringing the list up to date rarely moves it.
std::size_t withRoomToGrow(std::size_t count)
{
    return count + count / 64 + 16;
}

// Sorts positions rather than the entries themselves: moving two strings per swap costs more than
// the comparisons of a large folder.
template<typename LessAt>
std::vector<PictureEntry> inOrder(std::vector<PictureEntry> &items, LessAt lessAt)
{
    std::vector<std::uint32_t> order(items.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), lessAt);
    std::vector<PictureEntry> entries;
    entries.reserve(withRoomToGrow(items.size()));
    for (const std::uint32_t i : order)
        entries.push_back(std::move(items[i]));
    return entries;
}

} // namespace

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
    // Folding once per name pays off here, where every comparison needs it.
    std::vector<PictureEntry> items;
    std::vector<QString> folded;
    items.reserve(names.size());
    folded.reserve(names.size());
    for (const QByteArray &native : names) {
        items.push_back(makeEntry(native, 0));
        folded.push_back(items.back().name.toCaseFolded());
    }
    return inOrder(items, [&items, &folded](std::uint32_t a, std::uint32_t b) {
        return lessByName(folded[a], items[a].name, folded[b], items[b].name);
    });
}

std::vector<PictureEntry> orderByDate(const QString &folder, const std::vector<QByteArray> &names)
{
    std::vector<PictureEntry> items;
    items.reserve(names.size());
    const FolderHandle handle(folder);
    FileStamp stamp;
    // Neighbouring files are often stamped within the same second; convert each second once.
    std::int64_t lastSeconds = -1;
    std::int64_t lastKey = 0;
    for (const QByteArray &native : names) {
        if (!handle.stamp(native, &stamp))
            continue;
        if (stamp.mtimeSeconds != lastSeconds) {
            lastSeconds = stamp.mtimeSeconds;
            lastKey = localTimeKey(lastSeconds);
        }
        items.push_back(makeEntry(native, lastKey));
    }
    return inOrder(items, [&items](std::uint32_t a, std::uint32_t b) {
        return lessByDate(items[a], items[b]);
    });
}

void mergeInOrder(std::vector<PictureEntry> &entries, const std::vector<QByteArray> &gone,
                  std::vector<PictureEntry> added, bool byDate)
{
    if (!gone.empty()) {
        // Comparing the stored keys spares reading the names, scattered over memory.
        std::vector<quint64> keys;
        keys.reserve(gone.size());
        for (const QByteArray &name : gone)
            keys.push_back(nameKey(name));
        std::sort(keys.begin(), keys.end());
        const auto isGone = [&keys, &gone](const PictureEntry &entry) {
            return std::binary_search(keys.begin(), keys.end(), entry.key) &&
                   std::find(gone.begin(), gone.end(), entry.nativeName) != gone.end();
        };
        entries.erase(std::remove_if(entries.begin(), entries.end(), isGone), entries.end());
    }
    const std::size_t count = entries.size();
    const std::size_t more = added.size();
    // Where each added entry goes among the entries there are.
    std::vector<std::size_t> places;
    places.reserve(more);
    for (const PictureEntry &entry : added) {
        const QString folded = byDate ? QString() : entry.name.toCaseFolded();
        const auto before = [&](const PictureEntry &other) {
            return byDate ? lessByDate(other, entry)
                          : lessByName(other.name.toCaseFolded(), other.name, folded, entry.name);
        };
        places.push_back(std::size_t(std::partition_point(entries.begin(), entries.end(), before) -
                                     entries.begin()));
    }
    if (entries.capacity() < count + more)
        entries.reserve(withRoomToGrow(count + more));
    entries.resize(count + more);
    // From the back: each run of old entries moves up past the added ones that precede it.
    std::size_t read = count;
    std::size_t write = count + more;
    for (std::size_t i = more; i-- > 0;) {
        const std::size_t from = places[i];
        std::move_backward(entries.begin() + std::ptrdiff_t(from),
                           entries.begin() + std::ptrdiff_t(read),
                           entries.begin() + std::ptrdiff_t(write));
        write -= read - from;
        read = from;
        entries[--write] = std::move(added[i]);
    }
}

} // namespace vistrel
