#pragma once

#include <memory>

class QSettings;

namespace vistrel {

class MainWindow;
class SplashWindow;

// One run of the program over a settings store: the splash first, and on its Continue the main
// window, loaded while the splash is still shown. The program's main() and the tests that run
// the program as a user does both start it here.
class ProgramRun
{
public:
    explicit ProgramRun(QSettings *store);
    ~ProgramRun();
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    // Shows the splash, fully drawn, and returns it; the rest is driven by events.
    SplashWindow *start();
    // The main window once Continue has loaded it, else nullptr.
    MainWindow *mainWindow() const { return m_window.get(); }

private:
    QSettings *m_store;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace vistrel
