#pragma once

#include "common/fileidentity.h"

#include <QByteArray>

#include <memory>
#include <sys/stat.h>

namespace vistrel {

// A file opened for reading without waiting (O_NONBLOCK: a pipe or a device in a file's place
// never holds up the open), close-on-exec and never as the controlling terminal, with its status
// read once it is open. Closed when it goes, unless its descriptor was taken. Opening may block
// as long as the file's storage does.
class OpenedFile
{
public:
    explicit OpenedFile(const QByteArray &nativePath);
    // The same, held by all who share it (the display and printing) and closed when the last lets
    // go; `seen` is given the status when asked.
    static std::shared_ptr<const OpenedFile> open(const QByteArray &nativePath,
                                                  struct stat *seen = nullptr);
    ~OpenedFile();
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;

    // Open and its status read; otherwise error() is the errno value of what failed.
    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }
    int fd() const { return m_fd; }
    const struct stat &status() const { return m_status; }
    bool isRegular() const { return isOpen() && S_ISREG(m_status.st_mode); }
    bool isFolder() const { return isOpen() && S_ISDIR(m_status.st_mode); }
    // The file as it was when opened.
    FileIdentity identity() const { return FileIdentity::of(m_status); }
    // Hands the descriptor over to the caller, who closes it; -1 when not open.
    int take();

private:
    int m_fd = -1;
    int m_error = 0;
    struct stat m_status = {};
};

} // namespace vistrel
