#pragma once

#include "common/fileidentity.h"

#include <QByteArray>
#include <QString>

#include <dirent.h>

#include <cstdint>
#include <vector>

namespace vistrel {

// Reading folders straight from the file system: one readdir pass, a stat only where the entry's
// type is not known or a time is wanted. Qt's QDir repeats per-file work that a folder of tens of
// thousands of pictures cannot afford.

// True for "*.jpg", "*.gif" and "*.bmp" in any letter case; hidden names (leading dot) are not.
bool isPictureName(const char *name, std::size_t length);

// A 64-bit hash of a name's bytes (FNV-1a): a tenth of the cost of Qt's seeded hash, which
// hundreds of thousands of names would feel. Two of 300,000 names share one with a chance of
// about one in a thousand million.
quint64 nameKey(const char *name, std::size_t length);
inline quint64 nameKey(const QByteArray &name)
{
    return nameKey(name.constData(), std::size_t(name.size()));
}

struct FolderNames
{
    bool ok = false;
    int error = 0;                 // errno of the failure when !ok
    std::vector<QByteArray> names; // regular, non-hidden picture files, in directory order
    // Some of the names may be symbolic links: a change to what one leads to comes with no
    // change notice for this folder.
    bool mayHoldLinks = false;
};

// Names of the picture files of a folder (symbolic links count when they lead to a regular file).
FolderNames readPictureNames(const QString &folder);

// True when the folder holds at least one regular, non-hidden file of any kind. Any failure to
// read the folder counts as "none".
bool folderHasAnyFile(const QString &folder);

// Opened folder for many stat calls relative to it; a failed open leaves isOpen() false.
class FolderHandle
{
public:
    explicit FolderHandle(const QString &folder);
    ~FolderHandle();
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }
    // Identity of a regular file in the folder; false when it is gone, unreadable or not
    // regular. Symbolic links are followed; isLink tells whether name is one.
    bool stamp(const QByteArray &name, FileIdentity *out) const;
    bool isLink(const QByteArray &name) const;
    // Both in one look where name is no link: whether it is one (also one that leads nowhere),
    // and the identity of the regular file it is or leads to.
    bool stamp(const QByteArray &name, FileIdentity *out, bool *link) const;

private:
    int m_fd = -1;
    int m_error = 0;
};

enum class EntryKind { RegularFile, Folder };
// Whether a directory entry is of the kind, following symbolic links.
bool entryIs(DIR *dir, const dirent *entry, EntryKind kind);

} // namespace vistrel
