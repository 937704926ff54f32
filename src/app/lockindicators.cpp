#include "app/lockindicators.h"

#include <QGuiApplication>

#ifdef VISTREL_HAVE_XKB
#include <xcb/xcb.h>
// The XKB header names a member "explicit", a keyword of C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <cstring>
#endif

namespace vistrel {

#ifdef VISTREL_HAVE_XKB
namespace {

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace
#endif

LockIndicators::LockIndicators()
{
#ifdef VISTREL_HAVE_XKB
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    const auto cookie = xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION);
    xcb_xkb_use_extension_reply_t *reply = xcb_xkb_use_extension_reply(c, cookie, nullptr);
    const bool supported = reply && reply->supported;
    std::free(reply);
    if (!supported)
        return;
    m_connection = c;
    m_capsAtom = internAtom(c, "Caps Lock");
    m_numAtom = internAtom(c, "Num Lock");
    m_available = m_capsAtom != xcb_atom_t(XCB_ATOM_NONE) && m_numAtom != xcb_atom_t(XCB_ATOM_NONE);
#endif
}

LockIndicators::~LockIndicators() = default;

bool LockIndicators::capsLock() const
{
    return indicator(m_capsAtom);
}

bool LockIndicators::numLock() const
{
    return indicator(m_numAtom);
}

bool LockIndicators::indicator([[maybe_unused]] unsigned atom) const
{
#ifdef VISTREL_HAVE_XKB
    if (!m_available)
        return false;
    auto *c = static_cast<xcb_connection_t *>(m_connection);
    const auto cookie = xcb_xkb_get_named_indicator(
        c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_LED_CLASS_DFLT_XI_CLASS, XCB_XKB_ID_DFLT_XI_ID, atom);
    xcb_xkb_get_named_indicator_reply_t *reply =
        xcb_xkb_get_named_indicator_reply(c, cookie, nullptr);
    const bool on = reply && reply->found && reply->on;
    std::free(reply);
    return on;
#else
    return false;
#endif
}

} // namespace vistrel
