#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <chrono>

struct stat;

namespace vistrel {

// Which file a name or descriptor leads to and how it is now: its device, inode and type, its
// size and modification time. Anything decoded, listed or held from a file stays valid only
// while its identity stays the same. `at` is when it was taken, so that of two looks at a file
// the later one tells; it is no part of the identity.
struct FileIdentity
{
    bool exists = false;
    quint64 device = 0, inode = 0;
    unsigned mode = 0; // the file's type bits
    qint64 size = 0, mtimeSec = 0, mtimeNsec = 0;
    std::chrono::steady_clock::time_point at;

    static FileIdentity of(const struct stat &st, std::chrono::steady_clock::time_point at = {});
    // Taken now, following symbolic links; a path that cannot be stat'ed has exists false.
    static FileIdentity of(const QByteArray &nativePath);

    bool operator==(const FileIdentity &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && mode == o.mode &&
               size == o.size && mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec;
    }
    bool operator!=(const FileIdentity &o) const { return !(*this == o); }
};

} // namespace vistrel
