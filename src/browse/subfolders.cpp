#include "browse/subfolders.h"

#include "browse/folderchanges.h"
#include "browse/folderlisting.h"
#include "browse/sortorder.h"
#include "common/nativename.h"

#include <dirent.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vistrel {
namespace {

// Whether the file system counts a folder's sub-folders in its link count (two plus one for
// each), as the common local ones do; others (btrfs, network and FUSE file systems) may not.
bool linksCountSubFolders(DIR *dir)
{
    struct statfs fs;
    if (::fstatfs(::dirfd(dir), &fs) != 0)
        return false;
    switch (fs.f_type) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

SubFolders readSubFolders(const QString &folder)
{
    SubFolders read;
    DIR *dir = ::opendir(toNative(folder).constData());
    if (!dir) {
        read.gone = errno == ENOENT || errno == ENOTDIR;
        return read;
    }
    const bool countedLinks = linksCountSubFolders(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        if (!entryIs(dir, entry, EntryKind::Folder))
            continue;
        const QString name = fromNative(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        read.names.push_back(name);
        struct stat st;
        if (countedLinks && ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && st.st_nlink == 2)
            read.leaves.push_back(name);
    }
    ::closedir(dir);
    std::sort(read.names.begin(), read.names.end(), nameLess);
    std::sort(read.leaves.begin(), read.leaves.end(), nameLess);
    return read;
}

SharedFolderRead readFolder(const QString &folder)
{
    auto read = std::make_shared<FolderRead>();
    read->changes = std::make_shared<FolderChanges>();
    read->changes->follow(folder);
    FolderNames &pictures = read->pictures;
    DIR *dir = ::opendir(toNative(folder).constData());
    if (!dir) {
        pictures.error = errno;
        read->sub.gone = errno == ENOENT || errno == ENOTDIR;
        return read;
    }
    const bool countedLinks = linksCountSubFolders(dir);
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (entry->d_name[0] == '.') {
            errno = 0;
            continue;
        }
        if (isPictureName(entry->d_name, length)) {
            // Also a link that leads nowhere yet (or a type the file system does not tell).
            pictures.mayHoldLinks =
                pictures.mayHoldLinks || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
            if (entryIs(dir, entry, EntryKind::RegularFile)) {
                pictures.names.emplace_back(entry->d_name, qsizetype(length));
                errno = 0;
                continue;
            }
        }
        if (entryIs(dir, entry, EntryKind::Folder)) {
            const QString name = fromNative(entry->d_name, qsizetype(length));
            read->sub.names.push_back(name);
            struct stat st;
            if (countedLinks && ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 &&
                st.st_nlink == 2)
                read->sub.leaves.push_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        pictures.error = errno;
        pictures.names.clear();
    } else {
        pictures.ok = true;
    }
    ::closedir(dir);
    std::sort(read->sub.names.begin(), read->sub.names.end(), nameLess);
    std::sort(read->sub.leaves.begin(), read->sub.leaves.end(), nameLess);
    return read;
}

} // namespace vistrel
