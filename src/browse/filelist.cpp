#include "browse/filelist.h"

#include "browse/folderlisting.h"

#include <algorithm>

namespace vistrel {

FileList::FileList(QObject *parent) : QObject(parent) {}

bool FileList::setPath(const QString &folder)
{
    return folder == m_path || setPath(folder, readPictureNames(folder));
}

bool FileList::setPath(const QString &folder, FolderNames listing)
{
    if (folder == m_path)
        return true;
    if (!take(folder, std::move(listing)))
        return false;
    m_path = folder;
    emit pathChanged();
    return true;
}

bool FileList::refresh()
{
    return m_path.isEmpty() ? true : take(m_path, readPictureNames(m_path));
}

bool FileList::refresh(FolderNames listing)
{
    return m_path.isEmpty() ? true : take(m_path, std::move(listing));
}

void FileList::setHoldBack(std::function<bool(const QByteArray &)> heldBack)
{
    m_heldBack = std::move(heldBack);
}

bool FileList::take(const QString &folder, FolderNames listing)
{
    if (!listing.ok) {
        m_error = listing.error;
        return false;
    }
    // Only pictures of the folder listed are known to be still written: a name in another folder
    // is not held back because one of the same name is written in this one.
    if (m_heldBack && folder == m_path) {
        auto &names = listing.names;
        names.erase(std::remove_if(names.begin(), names.end(), m_heldBack), names.end());
    }
    m_names = std::move(listing.names);
    m_keys.clear();
    m_keys.reserve(m_names.size());
    for (const QByteArray &name : m_names)
        m_keys.push_back(nameKey(name));
    m_mayHoldLinks = listing.mayHoldLinks;
    m_error = 0;
    ++m_generation;
    return true;
}

std::vector<QByteArray> FileList::update(const std::vector<QByteArray> &changed,
                                         const FolderNames &found)
{
    ++m_generation;
    std::vector<quint64> changedKeys;
    changedKeys.reserve(changed.size());
    for (const QByteArray &name : changed)
        changedKeys.push_back(nameKey(name));
    std::sort(changedKeys.begin(), changedKeys.end());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (std::binary_search(changedKeys.begin(), changedKeys.end(), m_keys[i]) &&
            std::find(changed.begin(), changed.end(), m_names[i]) != changed.end())
            continue;
        if (kept != i) {
            m_names[kept] = std::move(m_names[i]);
            m_keys[kept] = m_keys[i];
        }
        ++kept;
    }
    m_names.resize(kept);
    m_keys.resize(kept);

    std::vector<QByteArray> present;
    m_mayHoldLinks = m_mayHoldLinks || found.mayHoldLinks;
    for (const QByteArray &name : found.names) {
        if (isHeldBack(name))
            continue;
        present.push_back(name);
        m_names.push_back(name);
        m_keys.push_back(nameKey(name));
    }
    return present;
}

} // namespace vistrel
