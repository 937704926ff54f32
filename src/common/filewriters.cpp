#include "common/filewriters.h"

#include "common/openedfile.h"
#include "common/seamslot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <thread>

namespace vistrel {
namespace {

WriterFacts realFacts;
SeamSlot<WriterFacts> facts(realFacts);

FileIdentity identityOf(int fd)
{
    struct stat st = {};
    return ::fstat(fd, &st) == 0 ? FileIdentity::of(st) : FileIdentity();
}

// Whether the file's data or inode changed less than recentChange ago (or claims a time to come).
bool changedRecently(int fd)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return false;
    const std::time_t now = std::chrono::system_clock::to_time_t(facts.get().now());
    return std::max(st.st_mtim.tv_sec, st.st_ctim.tv_sec) > now - recentChange.count();
}

} // namespace

bool WriterFacts::leasesTell(int fd) const
{
    // The local file systems, whose leases see every writer.
    static constexpr unsigned long local[] = {
        0xEF53,     // ext2, ext3, ext4
        0x58465342, // xfs
        0x9123683E, // btrfs
        0x01021994, // tmpfs
        0x858458F6, // ramfs
        0xF2F52010, // f2fs
        0x794C7630, // overlay
        0x3153464A, // jfs
        0x52654973, // reiserfs
        0x2FC12FC1, // zfs
        0xCA451A4E, // bcachefs
        0x3434,     // nilfs2
        0x4D44,     // vfat, msdos
        0x2011BAB0, // exfat
        0x7366746E, // ntfs3
    };
    struct statfs fs = {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    for (const unsigned long type : local)
        if (static_cast<unsigned long>(fs.f_type) == type)
            return true;
    return false;
}

std::chrono::system_clock::time_point WriterFacts::now() const
{
    return std::chrono::system_clock::now();
}

WriterFacts *setWriterFacts(WriterFacts *replacement)
{
    return facts.replace(replacement);
}

Writers writersOf(int fd)
{
    if (!facts.get().leasesTell(fd))
        return Writers::Unknown;
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

Writing writingOf(std::shared_ptr<const OpenedFile> file, const QByteArray &nativePath,
                  const FileIdentity &seen, std::chrono::milliseconds watch)
{
    if (!file || !file->isOpen())
        file = OpenedFile::open(nativePath);
    if (!file->isRegular())
        return Writing::No; // gone, or no file anyone copies in
    const Writers writers = writersOf(file->fd());
    if (writers != Writers::Unknown)
        return writers == Writers::Some ? Writing::Yes : Writing::No;
    const FileIdentity before = identityOf(file->fd());
    if (seen.exists && seen.inode == before.inode && seen.device == before.device && seen != before)
        return Writing::Changed;
    if (changedRecently(file->fd()))
        return Writing::Yes;
    std::this_thread::sleep_for(watch);
    return identityOf(file->fd()) != before ? Writing::Yes : Writing::No;
}

} // namespace vistrel
