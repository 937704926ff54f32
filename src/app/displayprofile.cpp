#include "app/displayprofile.h"

#include "viewer/colourprofile.h"

#include <QGuiApplication>

#ifdef VISTREL_HAVE_XKB
#include <cstdlib>
#include <xcb/xcb.h>
#endif

namespace vistrel {

QByteArray x11DisplayProfile()
{
#ifdef VISTREL_HAVE_XKB
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    static const char name[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    const xcb_atom_t property = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (property == XCB_ATOM_NONE || !screen)
        return {};
    // Asked in 32-bit units, one more byte than a profile may have, to tell a larger one.
    const auto units = uint32_t(maxProfileBytes / 4 + 1);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, property, XCB_GET_PROPERTY_TYPE_ANY, 0, units),
        nullptr);
    QByteArray icc;
    if (reply && reply->format == 8 && reply->bytes_after == 0) {
        const int length = xcb_get_property_value_length(reply);
        if (length > 0 && length <= maxProfileBytes)
            icc = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), length);
    }
    std::free(reply);
    return icc;
#else
    return {};
#endif
}

} // namespace vistrel
