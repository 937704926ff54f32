#pragma once

#include "info/splashwindow.h"

namespace vistrel {

// Start of a run: shows the splash, fully drawn, and returns. From then on the splash waits
// for Continue, which calls loadMainWindow, or for a typed key, which ends the run.
SplashWindow *Main(SplashWindow::MainWindowLoader loadMainWindow);

} // namespace vistrel
