#include "desktop.h"

#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace vistrel::session {
namespace {

// Starts a program with its output thrown away; the descriptors it inherits are those not marked
// close-on-exec.
pid_t spawn(const char *const argv[])
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devnull, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devnull, STDERR_FILENO);
    pid_t pid = 0;
    const int failed =
        posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(devnull);
    return failed ? 0 : pid;
}

// Waits up to timeoutMs for a condition, checking every few milliseconds.
template<typename Condition> bool waitUntil(Condition done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

Desktop::~Desktop()
{
    if (m_display)
        XCloseDisplay(m_display);
    stopProcess(m_windowManager);
    stopProcess(m_server);
}

bool Desktop::start(int width, int height)
{
    // The server tells its display number through a pipe once it accepts connections.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::fcntl(ready[1], F_SETFD, 0) != 0) {
        m_error = QStringLiteral("no pipe");
        return false;
    }
    const QByteArray fd = QByteArray::number(ready[1]);
    const QByteArray screen = QByteArray::number(width) + 'x' + QByteArray::number(height) + "x24";
    const char *server[] = {"Xvfb",        "-displayfd", fd.constData(), "-screen", "0",
                            screen.data(), "-nolisten",  "tcp",          nullptr};
    m_server = spawn(server);
    ::close(ready[1]);
    // The number comes in pieces and ends with a newline; the server fails if it cannot write it.
    QByteArray number;
    char c = 0;
    while (m_server && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    ::close(ready[0]);
    if (number.isEmpty()) {
        m_error = QStringLiteral("the X server (Xvfb) did not start");
        return false;
    }
    const QByteArray name = ':' + number;
    ::setenv("DISPLAY", name.constData(), 1);
    m_display = XOpenDisplay(name.constData());
    if (!m_display) {
        m_error = QStringLiteral("cannot connect to the X server");
        return false;
    }
    return startWindowManager();
}

bool Desktop::startWindowManager()
{
    const char *wm[] = {"openbox", "--sm-disable", nullptr};
    m_windowManager = spawn(wm);
    if (!m_windowManager || !waitForWindowManager(true) || !waitForManagedWindows()) {
        m_error = QStringLiteral("the window manager (openbox) did not start");
        return false;
    }
    return true;
}

bool Desktop::waitForManagedWindows()
{
    // The window manager names itself on the root window before it takes new windows into its
    // care, and a window mapped in between stays unmanaged for good. So a window of ours is
    // mapped until the window manager puts it into a frame of its own.
    const Window probe =
        XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 10, 10, 0, 0, 0);
    auto managed = [&] {
        Window root = None, parent = None;
        Window *children = nullptr;
        unsigned count = 0;
        XQueryTree(m_display, probe, &root, &parent, &children, &count);
        if (children)
            XFree(children);
        return parent != root;
    };
    bool done = false;
    for (int attempt = 0; attempt < 50 && !done; ++attempt) {
        XMapWindow(m_display, probe);
        XSync(m_display, False);
        done = waitUntil(managed, 200);
        if (!done) {
            XUnmapWindow(m_display, probe);
            XSync(m_display, False);
        }
    }
    XDestroyWindow(m_display, probe);
    XSync(m_display, False);
    return done;
}

bool Desktop::stopWindowManager()
{
    stopProcess(m_windowManager);
    // The window manager leaves its mark on the root window when it is stopped.
    XDeleteProperty(m_display, DefaultRootWindow(m_display),
                    XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False));
    XSync(m_display, False);
    return waitForWindowManager(false);
}

bool Desktop::waitForWindowManager(bool running)
{
    // A running window manager names its check window on the root window.
    const Atom check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
    return waitUntil(
        [&] {
            Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char *data = nullptr;
            XGetWindowProperty(m_display, DefaultRootWindow(m_display), check, 0, 1, False,
                               XA_WINDOW, &type, &format, &items, &after, &data);
            if (data)
                XFree(data);
            return (items > 0) == running;
        },
        10000);
}

void Desktop::stopProcess(pid_t &pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    if (!waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    pid = 0;
}

void Desktop::flush()
{
    XFlush(m_display);
}

void Desktop::key(const char *keysym, const char *modifier)
{
    const KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysym));
    const KeyCode held = modifier ? XKeysymToKeycode(m_display, XStringToKeysym(modifier)) : 0;
    if (held)
        XTestFakeKeyEvent(m_display, held, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    if (held)
        XTestFakeKeyEvent(m_display, held, False, CurrentTime);
    flush();
}

void Desktop::click(const QWidget *widget, QPoint at, int button)
{
    const QPoint global = widget->mapToGlobal(at) * widget->devicePixelRatioF();
    XTestFakeMotionEvent(m_display, -1, global.x(), global.y(), CurrentTime);
    XTestFakeButtonEvent(m_display, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(m_display, unsigned(button), False, CurrentTime);
    flush();
}

void Desktop::resizeWindow(const QWidget *window, int width, int height)
{
    XResizeWindow(m_display, Window(window->windowHandle()->winId()), unsigned(width),
                  unsigned(height));
    flush();
}

} // namespace vistrel::session
