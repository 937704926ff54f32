#include "app/keyboardleds.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vistrel {
namespace {

bool endsWith(const char *name, const char *suffix)
{
    const size_t n = std::strlen(name);
    const size_t s = std::strlen(suffix);
    return n > s && std::memcmp(name + n - s, suffix, s) == 0;
}

// A light is lit when its brightness is a number above zero; an unreadable one is dark.
bool lit(int folder, const char *entry)
{
    const QByteArray path = QByteArray(entry).append("/brightness");
    const int fd = ::openat(folder, path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[16] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return false;
    for (const char *c = text; *c >= '0' && *c <= '9'; ++c) {
        if (*c != '0')
            return true;
    }
    return false;
}

} // namespace

KeyboardLeds::KeyboardLeds(QByteArray classFolder) : m_folder(std::move(classFolder)) {}

std::optional<LockStates> KeyboardLeds::read() const
{
    DIR *dir = ::opendir(m_folder.constData());
    if (!dir)
        return std::nullopt;
    const int folder = ::dirfd(dir);
    bool found = false;
    LockStates states;
    while (const dirent *entry = ::readdir(dir)) {
        if (endsWith(entry->d_name, "::capslock")) {
            found = true;
            states.caps = states.caps || lit(folder, entry->d_name);
        } else if (endsWith(entry->d_name, "::numlock")) {
            found = true;
            states.num = states.num || lit(folder, entry->d_name);
        }
    }
    ::closedir(dir);
    if (!found)
        return std::nullopt;
    return states;
}

} // namespace vistrel
