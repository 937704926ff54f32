// Measures how long a window does not answer: sends it _NET_WM_PING every 10 ms (the next one
// once the last is answered) for a given time and prints the longest wait for an answer. A
// window whose program handles no events answers no ping, so the figure is the longest time the
// program's window thread was busy. Usage: bench_stallwatch WINDOW_ID MILLISECONDS
#include "../common/netwmping.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start)
{
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s WINDOW_ID MILLISECONDS\n", argv[0]);
        return 2;
    }
    const Window window = Window(std::strtoul(argv[1], nullptr, 0));
    const long duration = std::atol(argv[2]);
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    const netwmping::Atoms atoms = netwmping::listen(display);

    const Clock::time_point start = Clock::now();
    long longest = 0;
    long answered = 0;
    unsigned long serial = 1;
    while (msSince(start) < duration) {
        netwmping::send(display, window, atoms, long(serial));
        const Clock::time_point sent = Clock::now();
        bool answer = false;
        while (!answer && msSince(start) < duration + 60000) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (netwmping::isAnswer(display, event, atoms) &&
                    static_cast<unsigned long>(event.xclient.data.l[1]) == serial)
                    answer = true;
            }
            if (answer)
                break;
            if (msSince(start) >= duration && msSince(sent) > longest)
                break; // the time is up; the wait so far counts
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            ::poll(&fd, 1, 5);
        }
        const long waited = msSince(sent);
        if (waited > longest)
            longest = waited;
        if (!answer)
            break;
        ++answered;
        ++serial;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("answered %ld\nlongest_ms %ld\n", answered, longest);
    XCloseDisplay(display);
    return answered > 0 ? 0 : 1;
}
