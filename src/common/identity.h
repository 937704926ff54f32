#pragma once

#include "common/version.h"

#include <QIcon>
#include <QString>

namespace vistrel {

// The application's identity, set once here and read by the windows that show it.
namespace identity {
inline constexpr int major = VISTREL_VERSION_MAJOR;
inline constexpr int minor = VISTREL_VERSION_MINOR;
inline constexpr int revision = VISTREL_VERSION_PATCH;

QString productName(); // "Vistrel"
QString title();       // the application's title, the product name
QString companyName();
QString legalCopyright();
QString organisation(); // key of the settings store

// "Version 1.0.10": each number plain decimal, no leading zeros or blanks.
QString versionText(int major, int minor, int revision);
// "Vistrel v1.0.10"
QString mainCaption();

// The name of the desktop entry (vistrel.desktop, without its suffix), by which the desktop
// matches the program's windows to their entry and icon.
QString desktopFileName();
// The program's icon: the installed one of the icon theme, else the copy built into the program.
QIcon windowIcon();
} // namespace identity

} // namespace vistrel
