#include "info/splashwindow.h"

#include "common/identity.h"
#include "common/services.h"

#include <QPushButton>

namespace vistrel {

SplashWindow::SplashWindow(MainWindowLoader loadMainWindow, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_loadMainWindow(std::move(loadMainWindow)),
      m_screen(InfoScreen::build(this, infolayout::splash()))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(identity::title());
    setAttribute(Qt::WA_DeleteOnClose);
    connect(m_screen.btnCont, &QPushButton::clicked, this, &SplashWindow::btnCont_Click);
    auto *keys = new TypedKeyWatcher(this);
    connect(keys, &TypedKeyWatcher::keyTyped, this, &SplashWindow::Form_KeyPress);
    m_screen.btnCont->setFocus();
}

void SplashWindow::btnCont_Click()
{
    if (m_handedOver)
        return; // a second click queued during the load must not load a second main window
    m_handedOver = true;
    QWidget *mainWindow = m_loadMainWindow ? m_loadMainWindow() : nullptr;
    close();
    if (mainWindow)
        mainWindow->show();
}

void SplashWindow::Form_KeyPress()
{
    if (m_handedOver)
        return;
    hide();
    terminator().endNow();
    close();
}

} // namespace vistrel
