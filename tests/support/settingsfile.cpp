#include "settingsfile.h"

#include <QDir>
#include <QFile>

namespace vistrel::test {

QString settingsFile(const QString &folder, const QByteArray &lines, const QString &path)
{
    const QString file =
        path.isEmpty() ? QDir(folder).filePath(QStringLiteral("Vistrel.ini")) : path;
    QFile out(file);
    if (!lines.isNull() && out.open(QIODevice::WriteOnly))
        out.write("[Settings]\n" + lines);
    return file;
}

QByteArray lastDir(const QString &folder)
{
    return "LastDir=" + folder.toUtf8() + '\n';
}

} // namespace vistrel::test
