#pragma once

#include "app/keyboardleds.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace vistrel {

// Whether Caps Lock and Num Lock are on, kept up to date by itself, wherever the keys are
// switched. Under X11 it follows the X keyboard's indicator-change events; elsewhere (Wayland)
// it reads the keyboards' lights from the kernel, at each lock key and four times a second.
// Where neither can be read (offscreen, a machine without keyboard lights) both read as off.
class LockIndicators : public QObject
{
    Q_OBJECT

public:
    explicit LockIndicators(QObject *parent = nullptr);
    ~LockIndicators() override;

    bool capsLock() const { return m_states.caps; }
    bool numLock() const { return m_states.num; }

signals:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class XkbEvents;
    void setStates(LockStates states);
    void readLights();

    std::unique_ptr<XkbEvents> m_xkb;
    KeyboardLeds m_lights;
    QTimer m_lightPoll;
    LockStates m_states;
};

} // namespace vistrel
