#pragma once

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

struct FolderNames
{
    bool ok = false;
    int error = 0;                 // errno of the failure when !ok
    std::vector<QByteArray> names; // regular, non-hidden picture files, in directory order
};

// Names of the picture files of a folder (symbolic links count when they lead to a regular file).
FolderNames readPictureNames(const QString &folder);

// True when the folder holds at least one regular, non-hidden file of any kind. Any failure to
// read the folder counts as "none".
bool folderHasAnyFile(const QString &folder);

struct FileStamp
{
    std::int64_t mtimeSeconds = 0;
    std::int64_t mtimeNanoseconds = 0;
    std::int64_t size = 0;
};

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
    // Stamp of a regular file in the folder; false when it is gone, unreadable or not regular.
    bool stamp(const QByteArray &name, FileStamp *out) const;

private:
    int m_fd = -1;
    int m_error = 0;
};

enum class EntryKind { RegularFile, Folder };
// Whether a directory entry is of the kind, following symbolic links.
bool entryIs(DIR *dir, const dirent *entry, EntryKind kind);

// Text of an errno value for messages.
QString errorText(int error);

} // namespace vistrel
