#include "info/startup.h"

#include <QGuiApplication>
#include <QScreen>

namespace vistrel {

SplashWindow *Main(SplashWindow::MainWindowLoader loadMainWindow)
{
    auto *splash = new SplashWindow(std::move(loadMainWindow));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect placed = splash->frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        splash->move(placed.topLeft());
    }
    splash->show();
    splash->repaint();
    return splash;
}

} // namespace vistrel
