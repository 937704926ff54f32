#include "app/programrun.h"

#include "app/displayprofile.h"
#include "app/mainwindow.h"
#include "app/settingsreader.h"
#include "info/startup.h"
#include "viewer/colourprofile.h"

#include <utility>

namespace vistrel {

ProgramRun::ProgramRun(QString settingsFile, OpenRequest request)
    : m_settingsFile(std::move(settingsFile)), m_request(std::move(request))
{}

ProgramRun::~ProgramRun() = default;

SplashWindow *ProgramRun::start()
{
    // Begun before anything else, so that the time the splash stands counts for it.
    m_read = std::make_unique<SettingsReader>(m_settingsFile);
    // Read before any picture is decoded, which all take the display's colours.
    setDisplayProfile(x11DisplayProfile());
    return Main([this]() -> QWidget * {
        m_window = std::make_unique<MainWindow>(m_settingsFile, m_read.release());
        m_window->setOpenRequest(m_request);
        m_window->Form_Load();
        return m_window.get();
    });
}

} // namespace vistrel
