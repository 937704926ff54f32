#include "viewer/fileread.h"

#include <cerrno>
#include <unistd.h>

namespace vistrel {

qint64 readAt(int fd, unsigned char *data, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, std::size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace vistrel
