#pragma once

#include <QStandardPaths>
#include <QString>

namespace vistrel {

// The user's folders as the desktop names them (the home folder, the configuration and documents
// folders), with the bytes the environment gives. Qt reads HOME and XDG_CONFIG_HOME as UTF-8 and
// puts U+FFFD in place of any other byte, which names a folder that does not exist; here such
// bytes are kept as the file names of the folder listing keep them.
QString homeFolder();
QString userFolder(QStandardPaths::StandardLocation location);

// A path Qt derived from the environment, with the part that came from HOME or XDG_CONFIG_HOME
// given back its own bytes. Any other path is returned as it is.
QString withEnvironmentBytes(const QString &path);

} // namespace vistrel
