#pragma once

#include "browse/sortorder.h"

#include <QAbstractListModel>

#include <vector>

namespace vistrel {

// The picture list: bare file names of the current folder in sort order, and the current entry.
// Setting another current entry announces it at once (listIndexChanged), so code that selects an
// entry has it shown before it goes on, exactly as a click would.
class PictureListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit PictureListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_entries.size()); }
    // -1 when nothing is selected.
    int listIndex() const { return m_index; }
    // Selects index (-1 for none). Indices outside the list are ignored. Returns whether the
    // selection changed.
    bool setListIndex(int index);
    // The name of the current entry, empty when nothing is selected.
    QString text() const;
    const PictureEntry *entry(int index) const;

    // Replace the entries in one reset; nothing is selected afterwards and no listIndexChanged is
    // raised for that.
    void setEntries(std::vector<PictureEntry> entries);
    // The same for entries brought up to date in place: those of the names in gone taken out,
    // added (ordered, none of them still listed) put in their places by date order (byDate) or
    // name order; what a refill by the same order would give, without building the whole list
    // again.
    void mergeEntries(const std::vector<QByteArray> &gone, std::vector<PictureEntry> added,
                      bool byDate);

signals:
    void listIndexChanged(int index);

private:
    std::vector<PictureEntry> m_entries;
    int m_index = -1;
};

} // namespace vistrel
