#include "browse/folderchanges.h"

#include "browse/folderlisting.h"
#include "common/nativename.h"

#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace vistrel {
namespace {

// Beyond this many changed names, reading the folder again costs no more than following them.
constexpr qsizetype namesKept = 4096;

// File systems that other machines (or, through FUSE, other programs in ways of their own)
// change without a change notice here: network, cluster and FUSE file systems.
bool changedUnseenElsewhere(const QByteArray &folder)
{
    struct statfs fs;
    if (::statfs(folder.constData(), &fs) != 0)
        return true;
    static constexpr std::uint32_t shared[] = {
        0x6969,     // NFS
        0x517B,     // SMB
        0xFF534D42, // CIFS
        0xFE534D42, // SMB2
        0x65735546, // FUSE
        0x01021997, // 9P
        0x00C36400, // Ceph
        0x5346414F, // AFS
        0x73757245, // Coda
        0x0000564C, // NCP
        0x7461636F, // OCFS2
        0x01161970, // GFS2
        0x0BD00BD0, // Lustre
    };
    const auto type = static_cast<std::uint32_t>(fs.f_type);
    return std::find(std::begin(shared), std::end(shared), type) != std::end(shared);
}

} // namespace

int openFolderWatch(const QByteArray &nativeFolder, std::uint32_t mask)
{
    const int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0)
        return -1;
    if (::inotify_add_watch(descriptor, nativeFolder.constData(), mask | IN_ONLYDIR) < 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

void readChangeNotices(int descriptor,
                       const std::function<bool(std::uint32_t mask, const char *name)> &handle)
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (!handle(event->mask, event->len > 0 ? event->name : nullptr))
                return;
        }
    }
}

FolderChanges::~FolderChanges()
{
    close();
}

void FolderChanges::swap(FolderChanges &other) noexcept
{
    std::swap(m_folder, other.m_folder);
    std::swap(m_descriptor, other.m_descriptor);
    std::swap(m_trusted, other.m_trusted);
    std::swap(m_known, other.m_known);
    std::swap(m_names, other.m_names);
}

void FolderChanges::close()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
    m_trusted = false;
    forget();
}

void FolderChanges::forget()
{
    m_known = false;
    m_names.clear();
}

void FolderChanges::follow(const QString &folder)
{
    close();
    m_folder = folder;
    if (folder.isEmpty())
        return;
    const QByteArray native = toNative(folder);
    // IN_ATTRIB: a picture given another time moves in date order.
    constexpr std::uint32_t mask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                   IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF |
                                   IN_MOVE_SELF;
    m_descriptor = openFolderWatch(native, mask);
    if (m_descriptor < 0)
        return;
    m_trusted = !changedUnseenElsewhere(native);
    m_known = m_trusted;
}

void FolderChanges::restart(const std::vector<QByteArray> &still)
{
    m_names.clear();
    m_known = m_trusted;
    for (const QByteArray &name : still)
        m_names.insert(name);
}

bool FolderChanges::known()
{
    readChangeNotices(m_descriptor, [this](std::uint32_t mask, const char *name) {
        if (mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            // Notices were lost, or the folder itself went.
            forget();
            if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                close();
            return m_descriptor >= 0;
        }
        if (!m_known || !name || (mask & IN_ISDIR))
            return true;
        const std::size_t length = std::strlen(name);
        if (!isPictureName(name, length))
            return true;
        if (m_names.size() >= namesKept)
            forget();
        else
            m_names.insert(QByteArray(name, qsizetype(length)));
        return true;
    });
    return m_known;
}

std::vector<QByteArray> FolderChanges::names() const
{
    return std::vector<QByteArray>(m_names.cbegin(), m_names.cend());
}

} // namespace vistrel
