#include "info/urlopener.h"

#include "common/seamslot.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <memory>

namespace vistrel {
namespace {

// What xdg-open's exit status says: 2 the file is missing, 3 no program for the address's kind,
// 4 the program it ran failed.
UrlOpener::Result fromExitStatus(int status)
{
    switch (status) {
    case 0:
        return {};
    case 2:
        return {false, QStringLiteral("The file cannot be found"), urlNotFound};
    case 3:
        return {false,
                QStringLiteral("No program is set up to open this address. Install a web "
                               "browser (for example the package firefox-esr or chromium)"),
                urlNoHandler};
    default:
        return {false,
                QStringLiteral("The program set up to open this address failed (xdg-open "
                               "ended with status %1)")
                    .arg(status),
                urlHandlerFailed};
    }
}

// Runs xdg-open without waiting for it on the calling thread: its exit status decides, whenever
// it ends (it tries one program after another, which takes seconds on a busy machine).
class DesktopUrlOpener final : public UrlOpener
{
public:
    void open(const QString &address, Done done) override
    {
        const QUrl url = QUrl::fromUserInput(address);
        if (address.trimmed().isEmpty() || !url.isValid())
            return done({false, QStringLiteral("The address is not valid"), urlMalformed});
        if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
            return done({false, QStringLiteral("The file cannot be found"), urlNotFound});

        // Owned by the application, so that it outlives the window that asked; it deletes
        // itself once the program has ended.
        auto *process = new QProcess(QCoreApplication::instance());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        auto pending = std::make_shared<Done>(std::move(done));
        const auto report = [pending](const Result &result) {
            if (!*pending)
                return;
            const Done once = std::move(*pending);
            *pending = nullptr;
            once(result);
        };
        QObject::connect(process, &QProcess::finished, process,
                         [process, report](int status, QProcess::ExitStatus how) {
                             report(how == QProcess::NormalExit ? fromExitStatus(status)
                                                                : fromExitStatus(4));
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, report](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             report({false,
                                     QStringLiteral("xdg-open cannot be started. Install the "
                                                    "package xdg-utils"),
                                     urlNoHandler});
                             process->deleteLater();
                         });
        process->start(QStringLiteral("xdg-open"),
                       {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    }
};

DesktopUrlOpener realOpener;
SeamSlot<UrlOpener> currentOpener(realOpener);

} // namespace

UrlOpener &urlOpener()
{
    return currentOpener.get();
}

UrlOpener *setUrlOpener(UrlOpener *replacement)
{
    return currentOpener.replace(replacement);
}

} // namespace vistrel
