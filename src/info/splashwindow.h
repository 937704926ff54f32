#pragma once

#include "info/infoscreen.h"

#include <QWidget>

#include <functional>

namespace vistrel {

// The first window of a run. Continue hands over to the main window; any typed key ends the
// run before the main window ever appears.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    // Creates the main window and runs its whole load; the splash is still shown meanwhile.
    using MainWindowLoader = std::function<QWidget *()>;

    explicit SplashWindow(MainWindowLoader loadMainWindow, QWidget *parent = nullptr);

    const InfoScreen &screen() const { return m_screen; }

private:
    void btnCont_Click();
    void Form_KeyPress();

    MainWindowLoader m_loadMainWindow;
    InfoScreen m_screen;
    bool m_handedOver = false;
};

} // namespace vistrel
