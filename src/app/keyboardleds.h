#pragma once

#include <QByteArray>

#include <optional>

namespace vistrel {

struct LockStates
{
    bool caps = false;
    bool num = false;
    bool operator==(const LockStates &other) const
    {
        return caps == other.caps && num == other.num;
    }
    bool operator!=(const LockStates &other) const { return !(*this == other); }
};

// The keyboards' Caps Lock and Num Lock lights as the kernel keeps them in its LED class
// (<class folder>/<device>::capslock/brightness, readable by any user). The desktop's
// compositor sets them, so they follow the lock keys under any display server. A lock counts as
// on when any keyboard shows it lit.
class KeyboardLeds
{
public:
    explicit KeyboardLeds(QByteArray classFolder = QByteArrayLiteral("/sys/class/leds"));

    // The lights now; none when the machine has no keyboard light to read. Reads the folder
    // afresh each time, so keyboards plugged in later count.
    std::optional<LockStates> read() const;

private:
    QByteArray m_folder;
};

} // namespace vistrel
