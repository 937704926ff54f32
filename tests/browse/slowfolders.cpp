#include "slowfolders.h"

#include <dirent.h>
#include <dlfcn.h>

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
std::atomic<int> started{0};

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
    ++started;
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

int vistrel_slow_folders_started()
{
    return started;
}

DIR *opendir(const char *path)
{
    using Open = DIR *(*)(const char *);
    static const auto real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "opendir"));
    delayFor(path);
    return real(path);
}

} // extern "C"
