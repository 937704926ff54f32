#include "app/savefolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vistrel {

QString writeFailure(const QByteArray &folder, const QString &reason)
{
    struct statvfs fs;
    if (::statvfs(folder.constData(), &fs) == 0) {
        if (fs.f_flag & ST_RDONLY)
            return QStringLiteral("the disk is read-only");
        if (fs.f_bavail == 0)
            return QStringLiteral("the disk is full");
    }
    return reason;
}

bool makeFolders(const QByteArray &folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0 && !makeFolders(folder.left(slash)))
        return false;
    return ::mkdir(folder.constData(), 0777) == 0 || errno == EEXIST;
}

QByteArray resolvedFile(const QByteArray &path)
{
    char *real = ::realpath(path.constData(), nullptr);
    if (!real)
        return path;
    const QByteArray resolved(real);
    std::free(real);
    return resolved;
}

mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

HeldFolder::HeldFolder(const QByteArray &folder)
    : m_fd(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
{}

HeldFolder::~HeldFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace vistrel
