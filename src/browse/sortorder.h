#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace vistrel {

// One entry of the picture list: the name as shown and the bytes it has on disk, with what the
// list is ordered by (the time key in date order) and nameKey() of the bytes, which finds the
// entry of a name again without reading every name.
struct PictureEntry
{
    QString name;
    QByteArray nativeName;
    std::int64_t timeKey = 0;
    quint64 key = 0;
};

// The local modification time as the number yyyymmddhhmmss: its order is the order of the text
// key "yyyymmddhhmmss" of the date sort. The time zone is loaded once, not per file.
std::int64_t localTimeKey(std::int64_t secondsSinceEpoch);

// The order of names in the picture list and the folder tree: ignoring letter case (by their
// case-folded text), names equal but for case by their exact text. Digits compare as characters,
// so "img10.jpg" comes before "img2.jpg".
bool nameLess(const QString &a, const QString &b);

// Names in the order of nameLess.
std::vector<PictureEntry> orderByName(const std::vector<QByteArray> &names);

// Oldest modification time (to the second, local time) first; the same second in name order.
// A file whose time cannot be read any more (gone, no access) is left out.
std::vector<PictureEntry> orderByDate(const QString &folder, const std::vector<QByteArray> &names);

// The same with each name's modification time (seconds since the epoch) read beforehand.
std::vector<PictureEntry> orderByTimes(const std::vector<QByteArray> &names,
                                       const std::vector<std::int64_t> &mtimes);

// Whether a comes before b in date order (byDate) or name order, as ordered above.
bool comesBefore(const PictureEntry &a, const PictureEntry &b, bool byDate);

} // namespace vistrel
