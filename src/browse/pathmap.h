#pragma once

#include <QString>

namespace vistrel {

// The text of the folder tree's node for the user's documents folder.
QString documentsNodeText(); // "My Documents"

// Folder listed for a selected path of the folder tree: an absolute path is itself, the documents
// node is the documents folder, anything else (empty text included) is the root folder.
QString folderForTreePath(const QString &treePath, const QString &documentsFolder);

// The folder, a slash unless the folder already ends with one (as the root folder does), then
// the name: for paths as text (QString) and as the bytes on disk (QByteArray).
template<typename Text> Text joinFolderAndName(const Text &folder, const Text &name)
{
    using Char = typename Text::value_type;
    const Char slash = Char(u'/');
    if (folder.endsWith(slash))
        return folder + name;
    return folder + slash + name;
}

} // namespace vistrel
