#pragma once

#include "browse/folderlisting.h"

#include <QString>

#include <memory>
#include <vector>

namespace vistrel {

// One read of a folder for the folder tree: its visible sub-folders, those known to have none of
// their own (where the file system's link counts tell), and whether the folder itself is gone.
struct SubFolders
{
    std::vector<QString> names;  // ordered by nameLess
    std::vector<QString> leaves; // ordered by nameLess
    bool gone = false;
};

// Reads them; may wait as long as the folder's storage does.
SubFolders readSubFolders(const QString &folder);

class FolderChanges;

// One pass over a folder that serves both the folder tree (its sub-folders) and the picture list
// (its pictures, with its changes followed from before the pass, so that nothing changes in it
// unnoticed): a folder chosen is listed once, however many ask. Shared by whoever asks, as is.
struct FolderRead
{
    SubFolders sub;
    FolderNames pictures;
    std::shared_ptr<FolderChanges> changes;
};
using SharedFolderRead = std::shared_ptr<const FolderRead>;
SharedFolderRead readFolder(const QString &folder);
// The kind of request that shares a folder's read.
inline QString folderReadKind()
{
    return QStringLiteral("folder read");
}

} // namespace vistrel
