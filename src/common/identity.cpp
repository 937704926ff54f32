#include "common/identity.h"

namespace vistrel::identity {

QString productName()
{
    return QStringLiteral("Vistrel");
}

QString title()
{
    return productName();
}

QString companyName()
{
    return QStringLiteral("Vistrel Picture Works");
}

QString legalCopyright()
{
    return QStringLiteral("Copyright \u00A9 2026 Vistrel Picture Works. All rights reserved.");
}

QString organisation()
{
    return productName();
}

QString versionText(int majorNumber, int minorNumber, int revisionNumber)
{
    return QStringLiteral("Version %1.%2.%3").arg(majorNumber).arg(minorNumber).arg(revisionNumber);
}

QString mainCaption()
{
    return productName() + QStringLiteral(" v%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString desktopFileName()
{
    return QStringLiteral("vistrel");
}

QIcon windowIcon()
{
    QIcon own;
    for (const int size : {16, 32, 48, 64, 128, 256})
        own.addFile(QStringLiteral(":/vistrel/icons/vistrel-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(desktopFileName(), own);
}

} // namespace vistrel::identity
