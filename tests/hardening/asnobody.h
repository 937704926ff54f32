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

// What the piece returns: 0 for success, any other number names the check that failed.
// -1 means the rights could not be dropped; -2 that the child crashed or hung.
inline int runWithoutRoot(const std::function<int()> &piece)
{
    if (::geteuid() != 0)
        return piece();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(255);
        ::alarm(60); // a hang in the child ends it rather than the whole run
        const int result = piece();
        std::fflush(nullptr);
        ::_exit(result & 0x7f);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return -2;
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
    return -2;
}

} // namespace vistrel::test
