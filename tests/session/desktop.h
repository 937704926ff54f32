#pragma once

// A real desktop for the tests that run the program as a person does: an X server (Xvfb) with a
// real window manager (openbox), and input sent through the X server itself (XTEST), so that key
// presses and clicks take the same road as a user's: the window manager, keyboard focus, modal
// windows and all.

#include <QPoint>
#include <QString>

#include <sys/types.h>

class QWidget;
typedef struct _XDisplay Display;

namespace vistrel::session {

class Desktop
{
public:
    Desktop() = default;
    ~Desktop();
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Starts the X server and the window manager and points DISPLAY at them. Call before the
    // QApplication exists. Returns false with error() set when either cannot start.
    bool start(int width, int height);
    QString error() const { return m_error; }

    // The window manager alone, for what a desktop without one does.
    bool stopWindowManager();
    bool startWindowManager();

    // A key as X names it ("Return", "Tab", "space", "x", "Escape"), with modifier keys held
    // ("Alt_L", "Control_L", "Shift_L") while it is pressed.
    void key(const char *keysym, const char *modifier = nullptr);
    // A click of the left (1), middle (2) or right (3) button at a point of a widget.
    void click(const QWidget *widget, QPoint at, int button = 1);
    // Asks the X server, bypassing Qt, to give the window this size in device pixels.
    void resizeWindow(const QWidget *window, int width, int height);

private:
    bool waitForWindowManager(bool running);
    bool waitForManagedWindows();
    void stopProcess(pid_t &pid);
    void flush();

    pid_t m_server = 0;
    pid_t m_windowManager = 0;
    Display *m_display = nullptr;
    QString m_error;
};

} // namespace vistrel::session
