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

} // namespace vistrel
