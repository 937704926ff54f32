#include "browse/picturelistmodel.h"

#include "browse/folderlisting.h"

#include <algorithm>

namespace vistrel {
namespace {

// Brings entries in name order (byDate false) or date order up to date as ordering the folder's
// names again would: the entries of the names in gone are taken out, then added (in the same
// order, none of them still in entries) are put in their places. Only the entries after the first
// place that changes are moved.
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
        const auto before = [&entry, byDate](const PictureEntry &other) {
            return comesBefore(other, entry, byDate);
        };
        places.push_back(std::size_t(std::partition_point(entries.begin(), entries.end(), before) -
                                     entries.begin()));
    }
    // Room for pictures that arrive later, so that the next merge rarely moves the whole list.
    if (entries.capacity() < count + more)
        entries.reserve(count + more + (count + more) / 64 + 16);
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

} // namespace

PictureListModel::PictureListModel(QObject *parent) : QAbstractListModel(parent) {}

int PictureListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant PictureListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole)
        return m_entries[std::size_t(index.row())].name;
    return {};
}

bool PictureListModel::setListIndex(int index)
{
    if (index < -1 || index >= count() || index == m_index)
        return false;
    m_index = index;
    emit listIndexChanged(index);
    return true;
}

QString PictureListModel::text() const
{
    const PictureEntry *current = entry(m_index);
    return current ? current->name : QString();
}

const PictureEntry *PictureListModel::entry(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return &m_entries[std::size_t(index)];
}

void PictureListModel::setEntries(std::vector<PictureEntry> entries)
{
    // Like clearing a list box: the selection goes without a selection event.
    beginResetModel();
    m_entries = std::move(entries);
    m_index = -1;
    endResetModel();
}

void PictureListModel::mergeEntries(const std::vector<QByteArray> &gone,
                                    std::vector<PictureEntry> added, bool byDate)
{
    beginResetModel();
    mergeInOrder(m_entries, gone, std::move(added), byDate);
    m_index = -1;
    endResetModel();
}

} // namespace vistrel
