#pragma once

// Failures shared by the picture loader's units.

#include "viewer/pictureloader.h"

#include <QString>

namespace vistrel::loadfailure {

LoadedPicture failure(int error, const QString &reason);
// The class of a failed system call: missing, permission, out of memory, or any other fault.
LoadedPicture fromErrno(int code);
// More memory than one picture may use; `bytes` is what it would need.
LoadedPicture tooLarge(qint64 bytes, qint64 limit);
// The system had no memory left for the picture (not more than one picture may use).
LoadedPicture noMemoryLeft();
LoadedPicture cancelled();

} // namespace vistrel::loadfailure
