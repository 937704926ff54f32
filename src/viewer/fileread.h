#pragma once

#include <QtGlobal>

namespace vistrel {

// Reads `size` bytes of the file at `offset`, going on after interrupted and short reads; fewer
// only at the file's end. Returns the bytes read, or -1 with errno set on failure.
qint64 readAt(int fd, unsigned char *data, qint64 size, qint64 offset);

} // namespace vistrel
