#include "app/programrun.h"

#include "app/displayprofile.h"
#include "app/mainwindow.h"
#include "app/settingsreader.h"
#include "common/requests.h"
#include "info/startup.h"
#include "viewer/colourprofile.h"

#include <QDir>

#include <utility>

namespace vistrel {

ProgramRun::ProgramRun(QString settingsFile, Resolver resolve, QString asked)
    : m_settingsFile(std::move(settingsFile)), m_resolve(std::move(resolve)),
      m_asked(std::move(asked))
{}

ProgramRun::~ProgramRun() = default;

SplashWindow *ProgramRun::start()
{
    // Begun before anything else, so that the time the splash stands counts for it.
    m_read = std::make_unique<SettingsReader>(m_settingsFile);
    // The path asked for names its place; a relative one is taken from the working folder.
    const QString place =
        m_asked.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(m_asked));
    m_request = std::make_unique<EarlyRequest<OpenRequest>>(Request(place), m_resolve);
    // Read before any picture is decoded, which all take the display's colours.
    setDisplayProfile(x11DisplayProfile());
    return Main([this]() -> QWidget * {
        m_window = std::make_unique<MainWindow>(m_settingsFile, m_read.release());
        m_window->setOpenRequest(std::move(m_request), m_asked);
        m_window->Form_Load();
        return m_window.get();
    });
}

} // namespace vistrel
