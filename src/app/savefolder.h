#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace vistrel {

// The folder a file is saved into, its names as bytes: made where missing, held open under a
// name Qt's files can use, and what a failure to write there is due to.

// Why writing into folder failed: the disk's state when it explains it, else the reason given.
QString writeFailure(const QByteArray &folder, const QString &reason);

// The folder and its parents, made where missing.
bool makeFolders(const QByteArray &folder);

// The file a name leads to, symbolic links followed, so that a linked file stays linked.
QByteArray resolvedFile(const QByteArray &path);

// The process's file mode mask, read without changing it: setting it to read it back would let
// a file made meanwhile on another thread get every permission.
mode_t currentUmask();

// A folder held open, and a name for it that Qt's files can use whatever bytes the folder's own
// name holds: Qt spells every name in UTF-8, which would lose the bytes that are not.
class HeldFolder
{
public:
    explicit HeldFolder(const QByteArray &folder);
    ~HeldFolder();
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    QByteArray alias() const { return "/proc/self/fd/" + QByteArray::number(m_fd) + '/'; }

private:
    int m_fd;
};

} // namespace vistrel
