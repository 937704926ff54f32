#include "common/openedfile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vistrel {

OpenedFile::OpenedFile(const QByteArray &nativePath)
    : m_fd(::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY))
{
    if (m_fd < 0) {
        m_error = errno;
    } else if (::fstat(m_fd, &m_status) != 0) {
        m_error = errno;
        ::close(m_fd);
        m_fd = -1;
    }
}

OpenedFile::~OpenedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<const OpenedFile> OpenedFile::open(const QByteArray &nativePath, struct stat *seen)
{
    auto file = std::make_shared<const OpenedFile>(nativePath);
    if (seen && file->isOpen())
        *seen = file->status();
    return file;
}

int OpenedFile::take()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

} // namespace vistrel
