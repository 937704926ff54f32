#include "info/startup.h"

namespace vistrel {

SplashWindow *Main(SplashWindow::MainWindowLoader loadMainWindow)
{
    auto *splash = new SplashWindow(std::move(loadMainWindow));
    splash->show();
    splash->repaint();
    return splash;
}

} // namespace vistrel
