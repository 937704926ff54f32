#include "slowfolders.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>

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
        const char *filePrefix = std::getenv("VISTREL_SLOW_FILE_PREFIX");
        const char *fileDelay = std::getenv("VISTREL_SLOW_FILE_MS");
        if (filePrefix && fileDelay) {
            filesPrefix = filePrefix;
            filesDelayMs = std::atoi(fileDelay);
        }
        if (const char *when = std::getenv("VISTREL_SLOW_FILE_WHEN"))
            filesWhen = when;
    }
    std::mutex mutex;
    std::string prefix;
    int delayMs = 0;
    std::string filesPrefix; // every lookup of a name under it: open, stat, unlink, rename
    int filesDelayMs = 0;
    std::string filesWhen; // when set, lookups are slowed only while this file exists
};

// Made on first use: a library's own constructor could run before its other statics are made.
Settings &settings()
{
    static Settings made;
    return made;
}

std::atomic<int> answered{0};
std::atomic<int> started{0};

void sleepFor(int delay)
{
    do
        std::this_thread::sleep_for(std::chrono::milliseconds(delay < 0 ? 1000 : delay));
    while (delay < 0);
    ++answered;
}

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
    sleepFor(delay);
}

// A lookup of `path`, relative to the folder open as `dirFd` unless it is absolute.
void delayLookup(int dirFd, const char *path)
{
    if (!path)
        return;
    Settings &slow = settings();
    std::string prefix;
    std::string when;
    int delay = 0;
    {
        const std::lock_guard<std::mutex> lock(slow.mutex);
        prefix = slow.filesPrefix;
        delay = slow.filesDelayMs;
        when = slow.filesWhen;
    }
    // Asked of the kernel itself, past every wrapper this library puts in place.
    if (prefix.empty() ||
        (!when.empty() && ::syscall(SYS_faccessat, AT_FDCWD, when.c_str(), F_OK, 0) != 0))
        return;
    std::string full = path;
    if (path[0] != '/') {
        char where[4096];
        const std::string link = dirFd == AT_FDCWD ? std::string("/proc/self/cwd")
                                                   : "/proc/self/fd/" + std::to_string(dirFd);
        const ssize_t n = ::readlink(link.c_str(), where, sizeof where - 1);
        if (n <= 0)
            return;
        full = std::string(where, std::size_t(n)) + '/' + path;
    }
    if (full.compare(0, prefix.size(), prefix) == 0)
        sleepFor(delay);
}

// Not inlined into callers whose parameter the C library declares never null.
[[gnu::noinline]] bool isEmptyName(const char *path)
{
    return !path || !*path;
}

template<typename Function> Function real(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
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

void vistrel_slow_files(const char *prefix, int delayMs)
{
    Settings &slow = settings();
    const std::lock_guard<std::mutex> lock(slow.mutex);
    slow.filesPrefix = prefix ? prefix : "";
    slow.filesDelayMs = delayMs;
}

DIR *opendir(const char *path)
{
    using Open = DIR *(*)(const char *);
    static const auto real = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "opendir"));
    delayFor(path);
    return real(path);
}

// The calls that look a name up, each slowed before it is passed on. Folders opened as
// descriptors (to read the files' dates through them) are slowed as folders too.
#define VISTREL_SLOW_OPEN(name, at)                                                                \
    int name(VISTREL_AT_PARAM_##at const char *path, int flags, ...)                               \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = modeOf(flags, args);                                                   \
        va_end(args);                                                                              \
        static const auto next =                                                                   \
            real<int (*)(VISTREL_AT_TYPE_##at const char *, int, ...)>(#name);                     \
        if ((flags & O_DIRECTORY) && path[0] == '/')                                               \
            delayFor(path);                                                                        \
        delayLookup(VISTREL_AT_FD_##at, path);                                                     \
        return next(VISTREL_AT_ARG_##at path, flags, mode);                                        \
    }
#define VISTREL_AT_PARAM_0
#define VISTREL_AT_TYPE_0
#define VISTREL_AT_FD_0 AT_FDCWD
#define VISTREL_AT_ARG_0
#define VISTREL_AT_PARAM_1 int dirFd,
#define VISTREL_AT_TYPE_1 int,
#define VISTREL_AT_FD_1 dirFd
#define VISTREL_AT_ARG_1 dirFd,
VISTREL_SLOW_OPEN(open, 0)
VISTREL_SLOW_OPEN(open64, 0)
VISTREL_SLOW_OPEN(openat, 1)
VISTREL_SLOW_OPEN(openat64, 1)

int __open_2(const char *path, int flags)
{
    static const auto next = real<int (*)(const char *, int)>("__open_2");
    delayLookup(AT_FDCWD, path);
    return next(path, flags);
}
int __open64_2(const char *path, int flags)
{
    static const auto next = real<int (*)(const char *, int)>("__open64_2");
    delayLookup(AT_FDCWD, path);
    return next(path, flags);
}

#define VISTREL_SLOW_STAT(name, type)                                                              \
    int name(const char *path, type *st)                                                           \
    {                                                                                              \
        static const auto next = real<int (*)(const char *, type *)>(#name);                       \
        delayLookup(AT_FDCWD, path);                                                               \
        return next(path, st);                                                                     \
    }
VISTREL_SLOW_STAT(stat, struct stat)
VISTREL_SLOW_STAT(stat64, struct stat64)
VISTREL_SLOW_STAT(lstat, struct stat)
VISTREL_SLOW_STAT(lstat64, struct stat64)

#define VISTREL_SLOW_STATAT(name, type)                                                            \
    int name(int dirFd, const char *path, type *st, int flags)                                     \
    {                                                                                              \
        static const auto next = real<int (*)(int, const char *, type *, int)>(#name);             \
        if (!(flags & AT_EMPTY_PATH) || !isEmptyName(path))                                        \
            delayLookup(dirFd, path);                                                              \
        return next(dirFd, path, st, flags);                                                       \
    }
VISTREL_SLOW_STATAT(fstatat, struct stat)
VISTREL_SLOW_STATAT(fstatat64, struct stat64)

int statx(int dirFd, const char *path, int flags, unsigned mask, struct statx *st)
{
    static const auto next =
        real<int (*)(int, const char *, int, unsigned, struct statx *)>("statx");
    if (!(flags & AT_EMPTY_PATH) || !isEmptyName(path))
        delayLookup(dirFd, path);
    return next(dirFd, path, flags, mask, st);
}

int unlink(const char *path)
{
    static const auto next = real<int (*)(const char *)>("unlink");
    delayLookup(AT_FDCWD, path);
    return next(path);
}

int unlinkat(int dirFd, const char *path, int flags)
{
    static const auto next = real<int (*)(int, const char *, int)>("unlinkat");
    delayLookup(dirFd, path);
    return next(dirFd, path, flags);
}

int rename(const char *from, const char *to)
{
    static const auto next = real<int (*)(const char *, const char *)>("rename");
    delayLookup(AT_FDCWD, to);
    return next(from, to);
}

int renameat(int fromFd, const char *from, int toFd, const char *to)
{
    static const auto next = real<int (*)(int, const char *, int, const char *)>("renameat");
    delayLookup(toFd, to);
    return next(fromFd, from, toFd, to);
}

int renameat2(int fromFd, const char *from, int toFd, const char *to, unsigned flags)
{
    static const auto next =
        real<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    delayLookup(toFd, to);
    return next(fromFd, from, toFd, to, flags);
}

} // extern "C"
