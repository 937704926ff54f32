#include "browse/pathmap.h"

namespace vistrel {

QString documentsNodeText()
{
    return QStringLiteral("My Documents");
}

QString folderForTreePath(const QString &treePath, const QString &documentsFolder)
{
    if (treePath.startsWith(QLatin1Char('/')))
        return treePath;
    if (treePath == documentsNodeText())
        return documentsFolder;
    return QStringLiteral("/");
}

QString joinFolderAndName(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace vistrel
