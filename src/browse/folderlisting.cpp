#include "browse/folderlisting.h"

#include "common/nativename.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vistrel {
namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool endsWithExtension(const char *name, std::size_t length, const char *ext)
{
    if (length < 5) // at least one character before ".ext"
        return false;
    const char *tail = name + length - 4;
    for (int i = 0; i < 4; ++i) {
        if (lower(tail[i]) != ext[i])
            return false;
    }
    return true;
}

// Closes a DIR* on every way out.
class DirStream
{
public:
    explicit DirStream(const QString &folder)
        : m_dir(::opendir(toNative(folder).constData())), m_error(m_dir ? 0 : errno)
    {}
    ~DirStream()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirStream(const DirStream &) = delete;
    DirStream &operator=(const DirStream &) = delete;
    DIR *get() const { return m_dir; }
    int error() const { return m_error; }

private:
    DIR *m_dir;
    int m_error;
};

bool isRegularEntry(DIR *dir, const dirent *entry)
{
    return entryIs(dir, entry, EntryKind::RegularFile);
}

} // namespace

bool entryIs(DIR *dir, const dirent *entry, EntryKind kind)
{
    const unsigned char wanted = kind == EntryKind::Folder ? DT_DIR : DT_REG;
    if (entry->d_type == wanted)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    // Links and file systems that do not report the type: ask for the target's type.
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0)
        return false;
    return kind == EntryKind::Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
}

quint64 nameKey(const char *name, std::size_t length)
{
    quint64 hash = 14695981039346656037ULL;
    for (std::size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(name[i]);
        hash *= 1099511628211ULL;
    }
    return hash;
}

bool isPictureName(const char *name, std::size_t length)
{
    if (length == 0 || name[0] == '.')
        return false;
    return endsWithExtension(name, length, ".jpg") || endsWithExtension(name, length, ".gif") ||
           endsWithExtension(name, length, ".bmp");
}

FolderNames readPictureNames(const QString &folder)
{
    FolderNames result;
    DirStream dir(folder);
    if (!dir.get()) {
        result.error = dir.error();
        return result;
    }
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::size_t length = std::strlen(entry->d_name);
        if (isPictureName(entry->d_name, length)) {
            // Also a link that leads nowhere yet (or a type the file system does not tell).
            result.mayHoldLinks =
                result.mayHoldLinks || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
            if (isRegularEntry(dir.get(), entry))
                result.names.emplace_back(entry->d_name, qsizetype(length));
        }
        errno = 0;
    }
    if (errno != 0) {
        result.error = errno;
        result.names.clear();
        return result;
    }
    result.ok = true;
    return result;
}

bool folderHasAnyFile(const QString &folder)
{
    DirStream dir(folder);
    if (!dir.get())
        return false;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (entry->d_name[0] != '.' && isRegularEntry(dir.get(), entry))
            return true;
    }
    return false;
}

FolderHandle::FolderHandle(const QString &folder)
    : m_fd(::open(toNative(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd < 0)
        m_error = errno;
}

FolderHandle::~FolderHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderHandle::stamp(const QByteArray &name, FileIdentity *out) const
{
    struct stat st;
    if (m_fd < 0 || ::fstatat(m_fd, name.constData(), &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    *out = FileIdentity::of(st);
    return true;
}

bool FolderHandle::stamp(const QByteArray &name, FileIdentity *out, bool *link) const
{
    struct stat st;
    if (m_fd < 0 || ::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    *link = S_ISLNK(st.st_mode);
    if (*link && ::fstatat(m_fd, name.constData(), &st, 0) != 0)
        return false;
    if (!S_ISREG(st.st_mode))
        return false;
    *out = FileIdentity::of(st);
    return true;
}

bool FolderHandle::isLink(const QByteArray &name) const
{
    struct stat st;
    return m_fd >= 0 && ::fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISLNK(st.st_mode);
}

} // namespace vistrel
