#pragma once

#include "viewer/colourprofile.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>

namespace vistrel {

// A picture read from a file, or the failure class the display tells apart.
struct LoadedPicture
{
    enum Error {
        NoError = 0,
        // Not the file's fault: more memory than one picture may use, or the system had none.
        OutOfMemory = 7,
        FileNotFound = 53, // gone when it was to be read
        PermissionDenied = 70,
        PathAccess = 75,    // any other failure to open or read the file
        Unreadable = 50003, // exists, but its content is no picture we can read (also folders)
        Cancelled = -1,     // given up on request (see LoadLimits); never shown
    };

    int error = NoError;
    QString reason;          // human-readable cause of a failure
    QImage image;            // the decoded pixels, upright (maybe reduced, see below)
    QSize fullSize;          // the upright picture's own size in pixels, also when reduced
    bool incomplete = false; // the data ended early or is damaged; shown as far as it decoded

    bool ok() const { return error == NoError; }
};

// What one load may use.
struct LoadLimits
{
    // Bytes one load may hold at its peak: the decoder's own full-size buffers (a progressive
    // JPEG keeps 2 bytes per pixel and component), the decoded picture and any reduced or
    // turned copy. Checked before any large allocation; the file itself is never held whole.
    // 0: the bound follows the file and the machine (memoryBoundFor); the loader fills it in
    // before a decoder is called, which needs it positive.
    qint64 memoryBytes = 0;
    // Set from another thread to abandon the load: it ends within a row or a scan with
    // Cancelled. May be null.
    const std::atomic<bool> *cancel = nullptr;
    // Whose colours a picture with an embedded profile is given by `load` (printing asks sRGB).
    ColourTarget colours = ColourTarget::Display;
};

// What one load may use when nothing else is asked: 256 MiB, and more for a file whose size
// makes a larger picture plausible (2 KiB of pixels and decoder buffers per byte of file, more
// than any real photo needs), as far as half of the memory the machine has available allows.
// A small file claiming a huge picture stays within the 256 MiB.
qint64 memoryBoundFor(qint64 fileBytes);
// The machine's available memory (MemAvailable) in bytes; 0 when unknown.
qint64 availableMemory();
constexpr qint64 memoryBoundFloor = 256LL << 20;

// Reads a picture file into an upright image. JPEG is decoded with libjpeg-turbo straight into
// the image (with its own scaling for a reduced size) and turned by its orientation tag; an
// uncompressed 24- or 32-bit BMP is read in chunks of rows averaged straight to the size asked
// for; GIF (first frame), other BMPs and other formats Qt reads go through QImageReader. A decode
// that would exceed the memory limit is refused with OutOfMemory before it allocates; a JPEG with
// thousands of scans is refused as unreadable after a fraction of a second. A picture that carries
// a colour profile (JPEG, BMP, GIF) has its colours converted to the display's for `load` and to
// sRGB for `loadWithinBudget`; one without is given exactly as stored.
class PictureLoader
{
public:
    // Full size when atLeast is empty. Otherwise reduced to (about) atLeast: a JPEG to the
    // smallest of its scaling factors that is still at least atLeast in both directions, other
    // formats smooth-scaled to atLeast (never enlarged) while or right after decoding. The caller
    // stretches the rest.
    static LoadedPicture load(const QByteArray &nativePath, const QSize &atLeast = {},
                              const LoadLimits &limits = {});

    // The largest size within the memory limit (by default the fixed 256 MiB): full size when
    // it fits, otherwise a JPEG reduced by the smallest scaling factor that fits. For printing.
    static LoadedPicture loadWithinBudget(const QByteArray &nativePath,
                                          const LoadLimits &limits = {});
};

} // namespace vistrel
