#include "viewer/filelook.h"

#include <chrono>
#include <sys/stat.h>

namespace vistrel {

FileLook FileLook::of(const QByteArray &nativePath)
{
    FileLook look;
    const auto at = std::chrono::steady_clock::now();
    struct stat st = {};
    look.file = OpenedFile::open(nativePath, &st);
    if (look.file->isOpen()) {
        look.identity = FileIdentity::of(st, at);
        look.header = readPictureHeader(look.file->fd(), st);
    } else {
        // A file that cannot be opened (no permission) may still be there.
        look.identity = FileIdentity::of(nativePath);
    }
    return look;
}

} // namespace vistrel
