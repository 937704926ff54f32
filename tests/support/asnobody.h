#pragma once

// Runs a piece of a test without root's rights. Permission faults (an unreadable folder, a
// read-only file) mean nothing to root, and CI runs as root: there the piece runs in a forked
// child that has dropped to the unprivileged user 65534; otherwise it runs in place.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

namespace vistrel::test {

// Runs the piece in a forked child, so that what it does to the process (its rights, its
// resource limits) ends with it. What the piece returns: 0 for success, any other number
// names the check that failed; -1 means it could not set itself up; -2 that the child crashed
// or hung.
inline int runInChild(const std::function<int()> &piece)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::alarm(60); // a hang in the child ends it rather than the whole run
        const int result = piece();
        std::fflush(nullptr);
        ::_exit(result < 0 ? 255 : result & 0x7f);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return -2;
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
    return -2;
}

inline int runWithoutRoot(const std::function<int()> &piece)
{
    if (::geteuid() != 0)
        return piece();
    return runInChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return -1;
        return piece();
    });
}

} // namespace vistrel::test
