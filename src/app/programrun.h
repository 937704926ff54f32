#pragma once

#include "app/commandline.h"

#include <QString>

#include <functional>
#include <memory>

namespace vistrel {

class MainWindow;
class SettingsReader;
template<typename Result> class EarlyRequest;
class SplashWindow;

// One run of the program over a settings file: the settings read begun, the splash, and on its
// Continue the main window, loaded while the splash is still shown, opening the picture or folder
// asked for on the command line, if any, instead of the saved folder. The program's main() and the
// tests that run the program as a user does both start it here.
class ProgramRun
{
public:
    using Resolver = std::function<OpenRequest()>;
    // resolve: the command line's resolution, run off the window's thread from start() on;
    // asked: the path it looks at, as the user gave it.
    ProgramRun(QString settingsFile, Resolver resolve, QString asked = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    // Shows the splash, fully drawn, and returns it; the rest is driven by events.
    SplashWindow *start();
    // The main window once Continue has loaded it, else nullptr.
    MainWindow *mainWindow() const { return m_window.get(); }

private:
    QString m_settingsFile;
    Resolver m_resolve;
    QString m_asked;
    std::unique_ptr<EarlyRequest<OpenRequest>> m_request; // from start() until Continue
    std::unique_ptr<SettingsReader> m_read; // from the start of the run until Continue
    std::unique_ptr<MainWindow> m_window;
};

} // namespace vistrel
