#pragma once

namespace vistrel {

// Reads whether Caps Lock and Num Lock are on from the X keyboard's indicator state. Where there
// is no X server (offscreen, Wayland without X), both read as off.
class LockIndicators
{
public:
    LockIndicators();
    ~LockIndicators();
    LockIndicators(const LockIndicators &) = delete;
    LockIndicators &operator=(const LockIndicators &) = delete;

    bool available() const { return m_available; }
    bool capsLock() const;
    bool numLock() const;

private:
    bool indicator(unsigned atom) const;

    void *m_connection = nullptr;
    unsigned m_capsAtom = 0;
    unsigned m_numAtom = 0;
    bool m_available = false;
};

} // namespace vistrel
