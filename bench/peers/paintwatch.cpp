// Starts a picture viewer under the running X server and times when its window is painted,
// the same way for every program: the DAMAGE extension reports each change of the screen's
// pixels (on the root window, so every top-level window counts), and a change of at least
// --min-area pixels (a 316 x 316 square) is a paint. The screen is "painted" once no such change
// has come for
// --quiet milliseconds; the figure is the time of the last paint before that quiet spell.
// Small changes (a clock ticking in a status bar, a list's highlight) do not count.
//
//   bench_paintwatch [options] -- PROGRAM ARGS...
//     --trace           print every change reported, with its time, to the error output
//     --quiet MS        length of the quiet spell (default 500)
//     --min-area PX     smallest change that counts as a paint (default 100000)
//     --click X,Y       once painted, click at X,Y in the last mapped window, then time the
//                       paint that follows (a splash's Continue button); may be given more
//                       than once, each click after the previous one's paint
//     --keys N KEYSYM   once painted, send the key N times, each after the previous paint
//     --burst N KEYSYM MS
//                       once painted, send the key N times MS milliseconds apart without
//                       waiting for any paint (a held or fast-typed key), then time the paint
//                       that follows the last one
//     --blank X,Y,W,H,RRGGBB
//                       after each click, grab that rectangle of the last mapped window at the
//                       first paint and print "blankN PCT": the share of it in that colour (the
//                       window colour where the picture is not drawn yet); with it the
//                       processor time of the clicks from the third on is printed as
//                       "clicks_cpu_ms MS"
//     --ping            while it waits for the paint after the last click, sends _NET_WM_PING
//                       to the last mapped window every 10 ms (the replies come back on the
//                       root window) and prints "ping_ms MS": the longest time any ping went
//                       unanswered, one still unanswered counted to the end of the wait; with
//                       "pings SENT ANSWERED"
//   Prints "start MS", then "click1 MS", "click2 MS"... and "key MS" lines (each from its own
//   request), "burst MS" (last key to painted) with "burst_cpu_ms MS" (processor time the
//   program used from the first key of the burst to that paint), then "idle_kb KB" (resident
//   memory once the program had first painted) and "peak_kb KB" (its peak resident memory) and
//   ends the program. Keys and clicks go through the XTEST extension, as xdotool sends them.

#include "../common/netwmping.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A field of /proc/PID/status in kB ("VmRSS", "VmHWM"), 0 when unreadable.
long statusKb(pid_t pid, const char *field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    const std::string key = std::string(field) + ":";
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::atol(line.c_str() + key.size());
    return 0;
}

// Processor time (user and system, all threads) the process has used, in milliseconds.
double cpuMs(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int n = 3; n <= 15 && fields >> f; ++n) {
        if (n == 14)
            utime = std::stoull(f);
        if (n == 15)
            stime = std::stoull(f);
    }
    return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Watch
{
    Display *display = nullptr;
    int damageEvent = 0;
    long minArea = 100000;
    double quietMs = 500;
    double timeoutMs = 20000;
    Window lastMapped = 0;
    pid_t child = -1;
    bool trace = false;
    double traceStart = 0;
    // --blank: the rectangle and colour looked at on the first paint after `since`.
    bool blankWanted = false;
    bool blankNowDue = false; // only after the page clicks, never the splash's
    int bx = 0, by = 0, bw = 0, bh = 0;
    unsigned long blankColour = 0;
    double blankShare = -1;
    // --ping: while `pinging`, a ping every 10 ms; when each was sent and when answered (< 0:
    // not yet), by its number.
    bool pinging = false;
    netwmping::Atoms pingAtoms;
    std::vector<double> pingSent;
    std::vector<double> pingAnswered;
    double nextPing = 0;

    void ping(double t)
    {
        netwmping::send(display, lastMapped, pingAtoms, long(pingSent.size())); // numbered
        pingSent.push_back(t);
        pingAnswered.push_back(-1);
    }

    void answered(const XEvent &e, double t)
    {
        if (!netwmping::isAnswer(display, e, pingAtoms))
            return;
        const long n = e.xclient.data.l[1];
        if (n >= 0 && std::size_t(n) < pingSent.size() && pingAnswered[std::size_t(n)] < 0)
            pingAnswered[std::size_t(n)] = t;
    }

    // The longest any ping waited for its answer, those unanswered counted up to `end`.
    double longestUnanswered(double end) const
    {
        double longest = 0;
        for (std::size_t n = 0; n < pingSent.size(); ++n)
            longest =
                std::max(longest, (pingAnswered[n] < 0 ? end : pingAnswered[n]) - pingSent[n]);
        return longest;
    }

    double blankNow()
    {
        Window child_ = 0;
        int rx = 0, ry = 0;
        XTranslateCoordinates(display, lastMapped, DefaultRootWindow(display), bx, by, &rx, &ry,
                              &child_);
        const int sw = DisplayWidth(display, DefaultScreen(display));
        const int sh = DisplayHeight(display, DefaultScreen(display));
        if (rx < 0 || ry < 0 || rx + bw > sw || ry + bh > sh)
            return -1;
        XImage *img = XGetImage(display, DefaultRootWindow(display), rx, ry, unsigned(bw),
                                unsigned(bh), AllPlanes, ZPixmap);
        if (!img)
            return -1;
        long same = 0;
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
                same += (XGetPixel(img, x, y) & 0xFFFFFF) == blankColour;
        XDestroyImage(img);
        return 100.0 * double(same) / double(long(bw) * bh);
    }

    // Reads events until the screen has been painted after `since` and then stayed quiet.
    // Returns the time of the last paint, or a negative value on time-out or program exit.
    double waitPainted(double since)
    {
        double lastPaint = -1;
        const int fd = ConnectionNumber(display);
        for (;;) {
            while (XPending(display)) {
                XEvent e;
                XNextEvent(display, &e);
                const double t = nowMs();
                if (e.type == damageEvent + XDamageNotify) {
                    const auto *d = reinterpret_cast<XDamageNotifyEvent *>(&e);
                    const bool counts = long(d->area.width) * long(d->area.height) >= minArea;
                    if (trace)
                        std::fprintf(stderr, "%9.1f %s %dx%d+%d+%d\n", t - traceStart,
                                     counts ? "paint" : "small", d->area.width, d->area.height,
                                     d->area.x, d->area.y);
                    if (counts && t >= since) {
                        if (lastPaint < 0 && blankNowDue)
                            blankShare = blankNow();
                        lastPaint = t;
                    }
                } else if (e.type == MapNotify && !e.xmap.override_redirect) {
                    lastMapped = e.xmap.window;
                } else if (e.type == ClientMessage) {
                    answered(e, t);
                }
            }
            const double t = nowMs();
            if (pinging && lastMapped && t >= nextPing) {
                ping(t);
                nextPing = t + 10;
            }
            if (lastPaint >= 0 && t - lastPaint >= quietMs)
                return lastPaint;
            if (t - since > timeoutMs)
                return -1;
            int status = 0;
            if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                return -2;
            }
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 5);
        }
    }

    void focusLast()
    {
        if (lastMapped) {
            XSetInputFocus(display, lastMapped, RevertToPointerRoot, CurrentTime);
            XSync(display, False);
        }
    }

    void click(int x, int y)
    {
        Window child_ = 0;
        int rx = 0, ry = 0;
        XTranslateCoordinates(display, lastMapped, DefaultRootWindow(display), x, y, &rx, &ry,
                              &child_);
        XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
    }

    void key(KeyCode code)
    {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XFlush(display);
    }
};

// A ping to a window that has just gone is of no matter; any other error ends the run as Xlib's
// own handler does.
int onXError(Display *display, XErrorEvent *error)
{
    if (error->request_code == X_SendEvent && error->error_code == BadWindow)
        return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "bench_paintwatch: X error: %s (request %d)\n", text,
                 int(error->request_code));
    std::exit(2);
}

bool parsePoint(const char *text, int &x, int &y)
{
    return std::sscanf(text, "%d,%d", &x, &y) == 2;
}

} // namespace

int main(int argc, char *argv[])
{
    Watch w;
    std::vector<std::pair<int, int>> clicks;
    int keyCount = 0;
    const char *keyName = nullptr;
    bool pingLast = false;
    int burstCount = 0;
    const char *burstKey = nullptr;
    double burstGapMs = 0;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--")
            break;
        if (a == "--trace")
            w.trace = true;
        else if (a == "--ping")
            pingLast = true;
        else if (a == "--quiet" && i + 1 < argc)
            w.quietMs = std::atof(argv[++i]);
        else if (a == "--min-area" && i + 1 < argc)
            w.minArea = std::atol(argv[++i]);
        else if (a == "--click" && i + 1 < argc) {
            int x = 0, y = 0;
            if (parsePoint(argv[++i], x, y))
                clicks.emplace_back(x, y);
        } else if (a == "--blank" && i + 1 < argc) {
            w.blankWanted = std::sscanf(argv[++i], "%d,%d,%d,%d,%lx", &w.bx, &w.by, &w.bw, &w.bh,
                                        &w.blankColour) == 5 &&
                            w.bw > 0 && w.bh > 0;
        } else if (a == "--keys" && i + 2 < argc) {
            keyCount = std::atoi(argv[++i]);
            keyName = argv[++i];
        } else if (a == "--burst" && i + 3 < argc) {
            burstCount = std::atoi(argv[++i]);
            burstKey = argv[++i];
            burstGapMs = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "bench_paintwatch: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: bench_paintwatch [options] -- PROGRAM ARGS...\n");
        return 2;
    }
    // A busy server may refuse a connection for a moment.
    for (int attempt = 0; attempt < 50 && !w.display; ++attempt) {
        w.display = XOpenDisplay(nullptr);
        if (!w.display)
            usleep(100000);
    }
    if (!w.display) {
        std::fprintf(stderr, "bench_paintwatch: no X display\n");
        return 2;
    }
    XSetErrorHandler(onXError);
    int damageError = 0, ev = 0, er = 0, major = 0, minor = 0;
    if (!XDamageQueryExtension(w.display, &w.damageEvent, &damageError) ||
        !XTestQueryExtension(w.display, &ev, &er, &major, &minor)) {
        std::fprintf(stderr, "bench_paintwatch: the server lacks DAMAGE or XTEST\n");
        return 2;
    }
    const Window root = DefaultRootWindow(w.display);
    // Windows mapped, and ping answers, are seen on the root window.
    w.pingAtoms = netwmping::listen(w.display);
    XDamageCreate(w.display, root, XDamageReportRawRectangles);
    XSync(w.display, False);
    // A new damage object reports what is already on the screen: drop that.
    while (XPending(w.display)) {
        XEvent e;
        XNextEvent(w.display, &e);
    }

    const double start = nowMs();
    w.traceStart = start;
    w.child = fork();
    if (w.child == 0) {
        execvp(argv[i + 1], argv + i + 1);
        _exit(127);
    }
    int failed = 0;
    const double painted = w.waitPainted(start);
    if (painted < 0) {
        std::fprintf(stderr, "bench_paintwatch: %s never painted\n", argv[i + 1]);
        failed = 1;
    } else {
        std::printf("start %.1f\n", painted - start);
    }
    const long idleKb = failed ? 0 : statusKb(w.child, "VmRSS");
    double clicksCpu = 0;
    for (std::size_t c = 0; c < clicks.size() && !failed; ++c) {
        w.focusLast();
        if (c == 2)
            clicksCpu = cpuMs(w.child);
        const double t = nowMs();
        w.blankShare = -1;
        w.blankNowDue = w.blankWanted && c >= 2;
        w.pinging = pingLast && c + 1 == clicks.size();
        w.nextPing = t;
        w.click(clicks[c].first, clicks[c].second);
        const double p = w.waitPainted(t);
        if (w.pinging) {
            w.pinging = false;
            std::printf("ping_ms %.1f\n", w.longestUnanswered(nowMs()));
            std::printf("pings %zu %ld\n", w.pingSent.size(),
                        long(std::count_if(w.pingAnswered.begin(), w.pingAnswered.end(),
                                           [](double a) { return a >= 0; })));
        }
        failed = p < 0;
        if (failed)
            std::fprintf(stderr, "bench_paintwatch: click %zu painted nothing\n", c + 1);
        else
            std::printf("click%zu %.1f\n", c + 1, p - t);
        if (!failed && w.blankWanted && w.blankShare >= 0)
            std::printf("blank%zu %.1f\n", c + 1, w.blankShare);
    }
    if (!failed && w.blankWanted && clicks.size() > 2)
        std::printf("clicks_cpu_ms %.0f\n", cpuMs(w.child) - clicksCpu);
    if (!failed && keyCount > 0) {
        w.focusLast();
        const KeyCode code = XKeysymToKeycode(w.display, XStringToKeysym(keyName));
        for (int k = 0; k < keyCount && !failed; ++k) {
            const double t = nowMs();
            w.key(code);
            const double p = w.waitPainted(t);
            failed = p < 0;
            if (!failed)
                std::printf("key %.1f\n", p - t);
        }
        if (failed)
            std::fprintf(stderr, "bench_paintwatch: a key painted nothing\n");
    }
    if (!failed && burstCount > 0) {
        w.focusLast();
        const KeyCode code = XKeysymToKeycode(w.display, XStringToKeysym(burstKey));
        const double cpu0 = cpuMs(w.child);
        double sent = nowMs();
        for (int k = 0; k < burstCount; ++k) {
            if (k > 0) {
                sent += burstGapMs;
                // Keeps reading events while waiting, so the server never holds back.
                while (nowMs() < sent) {
                    while (XPending(w.display)) {
                        XEvent e;
                        XNextEvent(w.display, &e);
                    }
                    usleep(1000);
                }
            }
            w.key(code);
        }
        const double last = nowMs();
        const double p = w.waitPainted(last);
        failed = p < 0;
        if (failed) {
            std::fprintf(stderr, "bench_paintwatch: the burst painted nothing\n");
        } else {
            std::printf("burst %.1f\n", p - last);
            std::printf("burst_cpu_ms %.0f\n", cpuMs(w.child) - cpu0);
        }
    }
    if (w.child > 0) {
        std::printf("idle_kb %ld\n", idleKb);
        std::printf("peak_kb %ld\n", statusKb(w.child, "VmHWM"));
    }
    std::fflush(stdout);
    if (w.child > 0) {
        kill(w.child, SIGTERM);
        for (int n = 0; n < 200 && waitpid(w.child, nullptr, WNOHANG) == 0; ++n)
            usleep(10000);
        if (waitpid(w.child, nullptr, WNOHANG) == 0) {
            kill(w.child, SIGKILL);
            waitpid(w.child, nullptr, 0);
        }
    }
    XCloseDisplay(w.display);
    return failed;
}
