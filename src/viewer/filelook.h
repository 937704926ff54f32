#pragma once

#include "common/fileidentity.h"
#include "common/openedfile.h"
#include "viewer/pictureheader.h"

#include <QByteArray>

#include <memory>

namespace vistrel {

// One look at a picture file: all that showing it needs before its decode, which is its
// identity, its header and the file held open for printing. Taken on any thread; it blocks as
// long as the file's storage does, so the window's thread takes it through PictureLooks.
struct FileLook
{
    FileIdentity identity;
    PictureHeader header;
    std::shared_ptr<const OpenedFile> file;

    static FileLook of(const QByteArray &nativePath);
};

} // namespace vistrel
