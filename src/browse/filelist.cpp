#include "browse/filelist.h"

#include "browse/folderlisting.h"

#include <algorithm>

namespace vistrel {

FileList::FileList(QObject *parent) : QObject(parent) {}

bool FileList::setPath(const QString &folder)
{
    if (folder == m_path)
        return true;
    if (!read(folder))
        return false;
    m_path = folder;
    emit pathChanged();
    return true;
}

bool FileList::refresh()
{
    return m_path.isEmpty() ? true : read(m_path);
}

void FileList::setHoldBack(std::function<bool(const QByteArray &)> heldBack)
{
    m_heldBack = std::move(heldBack);
}

bool FileList::read(const QString &folder)
{
    FolderNames listing = readPictureNames(folder);
    if (!listing.ok) {
        m_error = listing.error;
        return false;
    }
    if (m_heldBack) {
        auto &names = listing.names;
        names.erase(std::remove_if(names.begin(), names.end(), m_heldBack), names.end());
    }
    m_names = std::move(listing.names);
    m_error = 0;
    return true;
}

} // namespace vistrel
