#include "browse/folderpass.h"

#include "browse/folderlisting.h"
#include "common/nativename.h"

#include <QElapsedTimer>

#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstring>

namespace vistrel {
namespace {

// One slice of a re-reading takes about this long at most, so that no poll holds up the window
// for a frame.
constexpr qint64 sliceNs = 8'000'000;
// How many entries are read between two looks at the clock.
constexpr int entriesPerLook = 512;

} // namespace

FolderPass::~FolderPass()
{
    if (dir)
        ::closedir(dir);
}

qint64 threadCpuNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

PassSlice readPassSlice(FolderPass &pass, bool detailed, int limit, const QSet<QByteArray> &pending)
{
    PassSlice out;
    const qint64 cpuStart = threadCpuNs();
    if (!pass.opened) {
        pass.opened = true;
        pass.dir = ::opendir(toNative(pass.folder).constData());
    }
    if (!pass.dir) {
        out.failed = true; // the last known state stays; a vanished folder grows no pictures
        return out;
    }
    QElapsedTimer slice;
    slice.start();
    const int folderFd = ::dirfd(pass.dir);
    for (int read = 0;; ++read) {
        if ((limit > 0 && read == limit) ||
            (read % entriesPerLook == 0 && read > 0 && slice.nsecsElapsed() >= sliceNs))
            break;
        errno = 0;
        const dirent *entry = ::readdir(pass.dir);
        if (!entry) {
            out.failed = errno != 0; // a read error: this pass proves nothing
            out.ended = true;
            break;
        }
        const std::size_t length = std::strlen(entry->d_name);
        if (!isPictureName(entry->d_name, length))
            continue;
        const quint64 key = nameKey(entry->d_name, length);
        if (!detailed) {
            if (entryIs(pass.dir, entry, EntryKind::RegularFile)) {
                out.sum += key;
                ++out.count;
            }
            continue;
        }
        if (pass.known.contains(key)) {
            out.seen.push_back(key);
            continue;
        }
        QByteArray name(entry->d_name, qsizetype(length));
        if (pending.contains(name) || !entryIs(pass.dir, entry, EntryKind::RegularFile))
            continue;
        struct stat st;
        if (::fstatat(folderFd, entry->d_name, &st, 0) != 0)
            continue;
        out.found.emplace_back(std::move(name), FileIdentity::of(st));
    }
    out.costNs = threadCpuNs() - cpuStart;
    return out;
}

} // namespace vistrel
