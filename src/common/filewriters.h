#pragma once

#include "common/fileidentity.h"

#include <QByteArray>

#include <chrono>
#include <memory>

namespace vistrel {

class OpenedFile;

// Whether some process has a file open for writing (a copy still coming in), as the kernel
// tells one who asks for a read lease: it refuses one while the file is open for writing
// anywhere. The lease is given back at once.
enum class Writers { None, Some, Unknown };
// Unknown where no lease is to be had or where one tells nothing: a file of another user
// (without CAP_LEASE), a descriptor not open for reading only, and every file system that is not
// a local one (FUSE, NFS, CIFS, ...), where a lease is granted that knows nothing of a writer
// behind the mount.
Writers writersOf(int fd);

// Where no lease tells: a file changed (by its modification or change time) less than this long
// ago may still be coming in.
constexpr std::chrono::seconds recentChange{60};

// What a look for a writer found: nobody writes the file; it is written (a writer holds it, or,
// where no lease tells, it changed recently or while watched); or, where no lease tells, it is
// no longer the file `seen` was taken of, so it is worth being shown again.
enum class Writing { No, Yes, Changed };

// Whether the file is being written: the file held open (else opened by its path) as writersOf
// tells, or where that cannot tell, whether its size or time differ from `seen` (a look at the
// same file taken before; Changed), changed within recentChange, or change within `watch`.
// Blocks as long as the file's storage does, and for `watch` where no lease tells; so it runs
// off the window's thread.
Writing writingOf(std::shared_ptr<const OpenedFile> file, const QByteArray &nativePath,
                  const FileIdentity &seen, std::chrono::milliseconds watch);

// What writingOf relies on: whether a lease on the file system tells, and the wall clock the
// recent-change rule reads. The real ones ask the kernel; tests put others in.
class WriterFacts
{
public:
    virtual ~WriterFacts() = default;
    virtual bool leasesTell(int fd) const;
    virtual std::chrono::system_clock::time_point now() const;
};
// Returns the one in place before; nullptr puts the real one back.
WriterFacts *setWriterFacts(WriterFacts *replacement);

} // namespace vistrel
