#include "app/programrun.h"

#include "app/mainwindow.h"
#include "info/startup.h"

namespace vistrel {

ProgramRun::ProgramRun(QSettings *store) : m_store(store) {}

ProgramRun::~ProgramRun() = default;

SplashWindow *ProgramRun::start()
{
    return Main([this]() -> QWidget * {
        m_window = std::make_unique<MainWindow>(m_store);
        m_window->Form_Load();
        return m_window.get();
    });
}

} // namespace vistrel
