#pragma once

#include "viewer/pictureheader.h"

#include <QByteArray>

#include <chrono>
#include <ctime>
#include <memory>
#include <sys/types.h>

struct stat;

namespace vistrel {

// What stat says about a path: a decode is valid only while this stays the same. `at` is when
// it was taken, so that of two looks at a file the later one tells.
struct FileIdentity
{
    bool exists = false;
    quint64 device = 0, inode = 0;
    unsigned mode = 0;
    qint64 size = 0, mtimeSec = 0, mtimeNsec = 0;
    std::chrono::steady_clock::time_point at;

    static FileIdentity of(const QByteArray &nativePath);
    static FileIdentity of(const struct stat &st, std::chrono::steady_clock::time_point at);
    bool operator==(const FileIdentity &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && mode == o.mode &&
               size == o.size && mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec;
    }
};

// A file opened without blocking (a FIFO cannot hang the opener) and held open, with what fstat
// said of it then: the descriptor pins the file's content, whatever later happens to its name.
// Closed when the last holder lets go.
class OpenedFile
{
public:
    // Opens the file, and gives what fstat said in `st` when asked; may block as long as the
    // file's storage does.
    static std::shared_ptr<const OpenedFile> open(const QByteArray &nativePath,
                                                  struct stat *st = nullptr);
    ~OpenedFile();
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    int error() const { return m_error; } // errno of the failed open or fstat
    off_t size() const { return m_size; }
    const timespec &modified() const { return m_modified; }

private:
    OpenedFile() = default;
    int m_fd = -1;
    int m_error = 0;
    off_t m_size = 0;
    timespec m_modified = {};
};

// One look at a picture file: all that showing it needs before its decode, which is its
// identity, its header and the file held open for printing. Taken on any thread; it blocks as
// long as the file's storage does, so the window's thread takes it through DetachedReads.
struct FileLook
{
    FileIdentity identity;
    PictureHeader header;
    std::shared_ptr<const OpenedFile> file;

    static FileLook of(const QByteArray &nativePath);
};

} // namespace vistrel
