#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace vistrel {

// Reads a picture file into an image, with the failure classes the display tells apart. JPEG is
// decoded with libjpeg-turbo straight into the image's buffer (and, for a reduced size, with the
// decoder's own scaling); GIF (first frame), BMP and anything else go through QImageReader.
// Every size is checked against a pixel budget before any buffer is allocated, so a picture
// whose header claims a huge size is refused instead of exhausting memory.
struct LoadedPicture
{
    enum Error {
        NoError = 0,
        OutOfMemory = 7,   // larger than the decode budget
        FileNotFound = 53, // gone when it was to be read
        PermissionDenied = 70,
        PathAccess = 75,    // any other failure to open or read the file
        Unreadable = 50003, // exists, but is no picture we can read (also folders, FIFOs)
    };

    int error = NoError;
    QString reason;          // human-readable cause of a failure
    QImage image;            // the decoded pixels (maybe reduced, see below)
    QSize fullSize;          // the picture's own size in pixels, also when reduced
    bool incomplete = false; // the data ended early or is damaged; shown as far as it decoded

    bool ok() const { return error == NoError; }
};

class PictureLoader
{
public:
    // Pixels allowed in one decode buffer (4 bytes each): 64 Mpx, 256 MB.
    static constexpr qint64 defaultPixelBudget = 64LL * 1024 * 1024;
    // Files longer than this are not read into memory at all.
    static constexpr qint64 maxFileBytes = 1LL << 30;

    // Full size when atLeast is empty. Otherwise the decode may be reduced (JPEG scaling factors)
    // to the smallest size that is still at least atLeast in both directions; other formats come
    // at full size. The caller smooth-scales the rest.
    static LoadedPicture load(const QByteArray &nativePath, const QSize &atLeast = {},
                              qint64 pixelBudget = defaultPixelBudget);

    // The largest size within the budget: full size when it fits, otherwise a JPEG reduced by the
    // smallest scaling factor that fits. For printing.
    static LoadedPicture loadWithinBudget(const QByteArray &nativePath,
                                          qint64 pixelBudget = defaultPixelBudget);
};

} // namespace vistrel
