#include "common/fileidentity.h"

#include <sys/stat.h>

namespace vistrel {

FileIdentity FileIdentity::of(const struct stat &st, std::chrono::steady_clock::time_point at)
{
    FileIdentity id;
    id.exists = true;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.mode = unsigned(st.st_mode & S_IFMT);
    id.size = qint64(st.st_size);
    id.mtimeSec = qint64(st.st_mtim.tv_sec);
    id.mtimeNsec = qint64(st.st_mtim.tv_nsec);
    id.at = at;
    return id;
}

FileIdentity FileIdentity::of(const QByteArray &nativePath)
{
    const auto at = std::chrono::steady_clock::now();
    struct stat st = {};
    if (::stat(nativePath.constData(), &st) != 0) {
        FileIdentity none;
        none.at = at;
        return none;
    }
    return of(st, at);
}

} // namespace vistrel
