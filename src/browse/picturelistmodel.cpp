#include "browse/picturelistmodel.h"

namespace vistrel {

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
