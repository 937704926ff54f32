#pragma once

#include <QString>

namespace vistrel {

// The text of the folder tree's node for the user's documents folder.
QString documentsNodeText(); // "My Documents"

// Folder listed for a selected path of the folder tree: an absolute path is itself, the documents
// node is the documents folder, anything else (empty text included) is the root folder.
QString folderForTreePath(const QString &treePath, const QString &documentsFolder);

// The folder, a slash unless the folder already ends with one, then the name.
QString joinFolderAndName(const QString &folder, const QString &name);

} // namespace vistrel
