#include "app/userfolders.h"

#include "common/nativename.h"

#include <QDir>
#include <QFile>

namespace vistrel {

QString withEnvironmentBytes(const QString &path)
{
    // The longer prefix first: XDG_CONFIG_HOME may lie inside HOME.
    for (const char *variable : {"XDG_CONFIG_HOME", "HOME"}) {
        const QByteArray bytes = qgetenv(variable);
        const QString exact = fromNative(bytes);
        const QString lossy = QFile::decodeName(bytes);
        if (bytes.isEmpty() || exact == lossy)
            continue; // valid UTF-8 (or unset): Qt's reading already has its bytes
        const QString cleanLossy = QDir::cleanPath(lossy);
        if (path == cleanLossy || path.startsWith(cleanLossy + QLatin1Char('/')))
            return QDir::cleanPath(exact) + path.mid(cleanLossy.size());
    }
    return path;
}

QString homeFolder()
{
    return withEnvironmentBytes(QDir::homePath());
}

QString userFolder(QStandardPaths::StandardLocation location)
{
    return withEnvironmentBytes(QStandardPaths::writableLocation(location));
}

} // namespace vistrel
