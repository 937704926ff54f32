#include "common/filewriters.h"

#include "common/openedfile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <thread>

namespace vistrel {
namespace {

FileIdentity identityOf(int fd)
{
    struct stat st = {};
    return ::fstat(fd, &st) == 0 ? FileIdentity::of(st) : FileIdentity();
}

} // namespace

Writers writersOf(int fd)
{
    // A writer opening the file while the lease is held is told to its holder by a signal;
    // SIGIO would end the program, SIGURG is ignored unless asked for.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return Writers::Unknown;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return Writers::None;
    }
    return errno == EAGAIN ? Writers::Some : Writers::Unknown;
}

bool isBeingWritten(std::shared_ptr<const OpenedFile> file, const QByteArray &nativePath,
                    const FileIdentity &seen, std::chrono::milliseconds watch)
{
    if (!file || !file->isOpen())
        file = OpenedFile::open(nativePath);
    if (!file->isRegular())
        return false; // gone, or no file anyone copies in
    const Writers writers = writersOf(file->fd());
    if (writers != Writers::Unknown)
        return writers == Writers::Some;
    const FileIdentity before = identityOf(file->fd());
    if (seen.exists && seen.inode == before.inode && seen.device == before.device && seen != before)
        return true;
    std::this_thread::sleep_for(watch);
    return identityOf(file->fd()) != before;
}

} // namespace vistrel
