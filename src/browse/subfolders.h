#pragma once

#include <QString>

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

} // namespace vistrel
