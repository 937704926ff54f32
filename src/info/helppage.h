#pragma once

#include <QString>

namespace vistrel::helppage {

// The program has no web site of its own: its link opens the help page installed with it.
inline constexpr char fileName[] = "help.html";

// Where the help page lies for a binary in applicationDir: the installed copy under
// <prefix>/share/doc/vistrel first, then the copy placed next to a binary in the build tree.
// When neither exists, the installed location, so a failure to open names the expected file.
QString path(const QString &applicationDir);

// The address of the help page for the running program, as a file URL text.
QString address();

// The link's caption naming that page.
QString caption();

} // namespace vistrel::helppage
