#include "app/lockindicators.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

#ifdef VISTREL_HAVE_XKB
#include <xcb/xcb.h>
// The XKB header names a member "explicit", a keyword of C++.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#ifdef __clang__
#pragma clang diagnostic pop
#endif

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

struct NamedIndicator
{
    bool found = false;
    bool on = false;
    uint8_t index = 0;
};

NamedIndicator namedIndicator(xcb_connection_t *c, const char *name)
{
    NamedIndicator result;
    const xcb_atom_t atom = internAtom(c, name);
    if (atom == xcb_atom_t(XCB_ATOM_NONE))
        return result;
    const auto cookie = xcb_xkb_get_named_indicator(
        c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_LED_CLASS_DFLT_XI_CLASS, XCB_XKB_ID_DFLT_XI_ID, atom);
    xcb_xkb_get_named_indicator_reply_t *reply =
        xcb_xkb_get_named_indicator_reply(c, cookie, nullptr);
    if (reply && reply->found && reply->ndx < 32) {
        result.found = true;
        result.on = reply->on;
        result.index = reply->ndx;
    }
    std::free(reply);
    return result;
}

} // namespace

// The X server tells every change of the keyboard's indicators; the named "Caps Lock" and
// "Num Lock" indicators are looked up once, and each change is read from the event alone.
class LockIndicators::XkbEvents final : public QAbstractNativeEventFilter
{
public:
    explicit XkbEvents(LockIndicators *owner) : m_owner(owner) {}
    ~XkbEvents() override
    {
        if (m_started)
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    // Subscribes to the indicator events; false where there is no X server with XKB.
    bool start()
    {
        auto *x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t *c = x11 ? x11->connection() : nullptr;
        if (!c)
            return false;
        const auto cookie = xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION);
        xcb_xkb_use_extension_reply_t *reply = xcb_xkb_use_extension_reply(c, cookie, nullptr);
        const bool supported = reply && reply->supported;
        std::free(reply);
        const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_xkb_id);
        if (!supported || !extension || !extension->present)
            return false;
        const NamedIndicator caps = namedIndicator(c, "Caps Lock");
        const NamedIndicator num = namedIndicator(c, "Num Lock");
        if (!caps.found || !num.found)
            return false;
        m_firstEvent = extension->first_event;
        m_capsBit = 1u << caps.index;
        m_numBit = 1u << num.index;
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_started = true;
        const uint16_t indicatorState = XCB_XKB_EVENT_TYPE_INDICATOR_STATE_NOTIFY;
        xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, indicatorState, 0, indicatorState, 0, 0,
                              nullptr);
        xcb_flush(c);
        m_owner->setStates({caps.on, num.on});
        return true;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != m_firstEvent)
            return false;
        const auto *indicators = static_cast<const xcb_xkb_indicator_state_notify_event_t *>(
            static_cast<const void *>(event));
        if (indicators->xkbType == XCB_XKB_INDICATOR_STATE_NOTIFY)
            m_owner->setStates(
                {(indicators->state & m_capsBit) != 0, (indicators->state & m_numBit) != 0});
        return false; // Qt's own keyboard handling sees every XKB event too
    }

private:
    LockIndicators *m_owner;
    uint8_t m_firstEvent = 0;
    uint32_t m_capsBit = 0;
    uint32_t m_numBit = 0;
    bool m_started = false;
};
#else
class LockIndicators::XkbEvents
{
public:
    explicit XkbEvents(LockIndicators *) {}
    bool start() { return false; }
};
#endif

LockIndicators::LockIndicators(QObject *parent)
    : QObject(parent), m_xkb(std::make_unique<XkbEvents>(this))
{
    if (m_xkb->start())
        return;
    m_xkb.reset();
    // The kernel tells no change of a light: read them at each lock key and every 250 ms.
    readLights();
    m_lightPoll.setInterval(250);
    connect(&m_lightPoll, &QTimer::timeout, this, &LockIndicators::readLights);
    m_lightPoll.start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

LockIndicators::~LockIndicators() = default;

bool LockIndicators::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock)
            readLights();
    }
    return QObject::eventFilter(watched, event);
}

void LockIndicators::readLights()
{
    setStates(m_lights.read().value_or(LockStates()));
}

void LockIndicators::setStates(LockStates states)
{
    if (states == m_states)
        return;
    m_states = states;
    emit changed();
}

} // namespace vistrel
