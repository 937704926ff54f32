#include "info/helppage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vistrel::helppage {

QString path(const QString &applicationDir)
{
    const QDir dir(applicationDir);
    const QString installed = QDir::cleanPath(
        dir.filePath(QStringLiteral("../share/doc/vistrel/") + QLatin1String(fileName)));
    const QString buildTree = QDir::cleanPath(dir.filePath(QLatin1String(fileName)));
    if (QFileInfo(installed).isFile())
        return installed;
    if (QFileInfo(buildTree).isFile())
        return buildTree;
    return installed;
}

QString address()
{
    return QUrl::fromLocalFile(path(QCoreApplication::applicationDirPath())).toString();
}

QString caption()
{
    return QStringLiteral("Vistrel help page");
}

} // namespace vistrel::helppage
