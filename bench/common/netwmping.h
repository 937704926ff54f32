#pragma once

// _NET_WM_PING, as window managers use it to find a program that does not answer: the program
// sends the ping back to the root window from its event loop, so the wait for an answer is the
// time its window's thread was busy. Shared by the benchmarks that time that wait.

#include <X11/Xlib.h>

namespace netwmping {

struct Atoms
{
    Atom protocols = None;
    Atom ping = None;
};

// The atoms, and answers asked for: they come to the root window, for clients selecting either
// of these masks on it.
inline Atoms listen(Display *display)
{
    XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask | SubstructureNotifyMask);
    return {XInternAtom(display, "WM_PROTOCOLS", False),
            XInternAtom(display, "_NET_WM_PING", False)};
}

// Pings window; stamp comes back in the answer.
inline void send(Display *display, Window window, const Atoms &atoms, long stamp)
{
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = atoms.protocols;
    message.xclient.format = 32;
    message.xclient.data.l[0] = long(atoms.ping);
    message.xclient.data.l[1] = stamp;
    message.xclient.data.l[2] = long(window);
    XSendEvent(display, window, False, NoEventMask, &message);
    XFlush(display);
}

// Whether event answers a ping; its stamp is then event.xclient.data.l[1].
inline bool isAnswer(Display *display, const XEvent &event, const Atoms &atoms)
{
    return event.type == ClientMessage && event.xclient.message_type == atoms.protocols &&
           Atom(event.xclient.data.l[0]) == atoms.ping &&
           event.xclient.window == DefaultRootWindow(display);
}

} // namespace netwmping
