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
// Unknown where no lease is to be had: a file of another user (without CAP_LEASE), network and
// other file systems without leases, a descriptor not open for reading only.
Writers writersOf(int fd);

// Whether the file is being written: the file held open (else opened by its path) as writersOf
// tells, or where that cannot tell, whether its size or time differ from `seen` (a look at the
// same file taken before) or change within `watch`. Blocks as long as the file's storage does,
// and for `watch` where no lease tells; so it runs off the window's thread.
bool isBeingWritten(std::shared_ptr<const OpenedFile> file, const QByteArray &nativePath,
                    const FileIdentity &seen, std::chrono::milliseconds watch);

} // namespace vistrel
