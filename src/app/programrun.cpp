#include "app/programrun.h"

#include "app/mainwindow.h"
#include "info/startup.h"

namespace vistrel {

ProgramRun::ProgramRun(QSettings *store, OpenRequest request)
    : m_store(store), m_request(std::move(request))
{}

ProgramRun::~ProgramRun() = default;

SplashWindow *ProgramRun::start()
{
    return Main([this]() -> QWidget * {
        m_window = std::make_unique<MainWindow>(m_store);
        m_window->setOpenRequest(m_request);
        m_window->Form_Load();
        return m_window.get();
    });
}

} // namespace vistrel
