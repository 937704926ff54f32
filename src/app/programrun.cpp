#include "app/programrun.h"

#include "app/displayprofile.h"
#include "app/mainwindow.h"
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
    // Read before any picture is decoded, which all take the display's colours.
    setDisplayProfile(x11DisplayProfile());
    return Main([this]() -> QWidget * {
        m_window = std::make_unique<MainWindow>(m_settingsFile);
        m_window->setOpenRequest(m_request);
        m_window->Form_Load();
        return m_window.get();
    });
}

} // namespace vistrel
