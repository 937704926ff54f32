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

std::mutex settingsMutex;
std::string slowPrefix;
int slowDelayMs = 0;
std::atomic<int> answered{0};

// Read once when the library is loaded, for the preloaded use.
[[gnu::constructor]] void readEnvironment()
{
    const char *prefix = std::getenv("VISTREL_SLOW_PREFIX");
    const char *delay = std::getenv("VISTREL_SLOW_MS");
    if (prefix && delay)
        vistrel_slow_folders(prefix, std::atoi(delay));
}

void delayFor(const char *path)
{
    int delay = 0;
    {
        const std::lock_guard<std::mutex> lock(settingsMutex);
        if (slowPrefix.empty() || std::strncmp(path, slowPrefix.c_str(), slowPrefix.size()))
            return;
        delay = slowDelayMs;
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
    const std::lock_guard<std::mutex> lock(settingsMutex);
    slowPrefix = prefix ? prefix : "";
    slowDelayMs = delayMs;
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

} // extern "C"
