#include "viewer/filelook.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

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

std::shared_ptr<const OpenedFile> OpenedFile::open(const QByteArray &nativePath, struct stat *seen)
{
    std::shared_ptr<OpenedFile> file(new OpenedFile);
    // Non-blocking and close-on-exec as the loader opens it.
    file->m_fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st = {};
    if (file->m_fd < 0 || ::fstat(file->m_fd, &st) != 0) {
        file->m_error = errno;
        if (file->m_fd >= 0)
            ::close(file->m_fd);
        file->m_fd = -1;
        return file;
    }
    file->m_size = st.st_size;
    file->m_modified = st.st_mtim;
    if (seen)
        *seen = st;
    return file;
}

OpenedFile::~OpenedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileLook FileLook::of(const QByteArray &nativePath)
{
    FileLook look;
    const auto at = std::chrono::steady_clock::now();
    struct stat st = {};
    look.file = OpenedFile::open(nativePath, &st);
    if (look.file->isOpen()) {
        look.identity = FileIdentity::of(st, at);
        look.header = readPictureHeader(look.file->fd(), st);
    } else {
        // A file that cannot be opened (no permission) may still be there.
        look.identity = FileIdentity::of(nativePath);
    }
    return look;
}

} // namespace vistrel
