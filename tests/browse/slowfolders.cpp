#include "slowfolders.h"

#include <cstdarg>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Settings
{
    // Read from the environment for the preloaded use.
    Settings()
    {
        const char *slowPrefix = std::getenv("VISTREL_SLOW_PREFIX");
        const char *delay = std::getenv("VISTREL_SLOW_MS");
        if (slowPrefix && delay) {
            prefix = slowPrefix;
            delayMs = std::atoi(delay);
        }
    }
    std::mutex mutex;
    std::string prefix;
    int delayMs = 0;
};

// Made on first use: a library's own constructor could run before its other statics are made.
Settings &settings()
{
    static Settings made;
    return made;
}

std::atomic<int> answered{0};

void delayFor(const char *path)
{
    Settings &slow = settings();
    int delay = 0;
    {
        const std::lock_guard<std::mutex> lock(slow.mutex);
        if (slow.prefix.empty() || std::strncmp(path, slow.prefix.c_str(), slow.prefix.size()))
            return;
        delay = slow.delayMs;
    }
    do
        std::this_thread::sleep_for(std::chrono::milliseconds(delay < 0 ? 1000 : delay));
    while (delay < 0);
    ++answered;
}

} // namespace

extern "C" {

void vistrel_slow_folders(const char *prefix, int delayMs)
{
    Settings &slow = settings();
    const std::lock_guard<std::mutex> lock(slow.mutex);
    slow.prefix = prefix ? prefix : "";
    slow.delayMs = delayMs;
}

int vistrel_slow_folders_answered()
{
    return answered;
}

DIR *opendir(const char *path)
{
    using Open = DIR *(*)(const char *);
    static const auto real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "opendir"));
    delayFor(path);
    return real(path);
}

// Folders opened as descriptors (to read the files' dates through them) are slowed alike.
#define VISTREL_SLOW_OPEN(name)                                                                    \
    int name(const char *path, int flags, ...)                                                     \
    {                                                                                              \
        using Open = int (*)(const char *, int, ...);                                              \
        static const auto real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, #name));                \
        va_list rest;                                                                              \
        va_start(rest, flags);                                                                     \
        const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(rest, mode_t) : 0;            \
        va_end(rest);                                                                              \
        if (flags & O_DIRECTORY)                                                                   \
            delayFor(path);                                                                        \
        return real(path, flags, mode);                                                            \
    }
VISTREL_SLOW_OPEN(open)
VISTREL_SLOW_OPEN(open64)

} // extern "C"
