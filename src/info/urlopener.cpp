#include "info/urlopener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace vistrel {
namespace {

class DesktopUrlOpener final : public UrlOpener
{
public:
    Result open(const QString &address) override
    {
        const QUrl url = QUrl::fromUserInput(address);
        if (address.trimmed().isEmpty() || !url.isValid())
            return {false, QStringLiteral("The address is not valid"), urlMalformed};
        // The desktop's opener runs detached and reports nothing back for a missing file, so a
        // missing help page would otherwise pass silently.
        if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
            return {false, QStringLiteral("The file cannot be found"), urlNotFound};
        if (!QDesktopServices::openUrl(url))
            return {false, QStringLiteral("No program is set up to open this address"),
                    urlNoHandler};
        return {};
    }
};

DesktopUrlOpener realOpener;
UrlOpener *currentOpener = &realOpener;

} // namespace

UrlOpener &urlOpener()
{
    return *currentOpener;
}

UrlOpener *setUrlOpener(UrlOpener *replacement)
{
    UrlOpener *previous = currentOpener;
    currentOpener = replacement ? replacement : &realOpener;
    return previous;
}

} // namespace vistrel
