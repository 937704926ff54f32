#pragma once

// The settings file a test starts the program with.

#include <QByteArray>
#include <QString>

namespace vistrel::test {

// The settings file `Vistrel.ini` in `folder` (or `path` when given), with the stored lines
// written under the program's group first; null lines write no file at all.
QString settingsFile(const QString &folder, const QByteArray &lines,
                     const QString &path = QString());
// The stored line of the last folder.
QByteArray lastDir(const QString &folder);

} // namespace vistrel::test
