#pragma once

#include <QByteArray>
#include <QImage>

#include <atomic>

namespace vistrel {

// Colour management of decoded pictures: a picture that carries an ICC profile has its stored
// numbers converted, in place, to the colours of the display (or to sRGB for printing) through
// Little CMS. A picture without a profile is never touched. Transforms of recent profiles are
// kept, so stepping through the photos of one camera builds each only once; the conversion is
// safe to run from several decoding threads at once.

// The colour spaces a picture's profile may describe, with the way the decoder left the pixels
// in a 32-bit image (Format_RGB32 or Format_ARGB32, as QRgb values).
enum class StoredPixels {
    Rgb,          // the stored red, green and blue
    Grey,         // the stored grey in all three channels
    InvertedCmyk, // cyan, magenta, yellow, black bytes in memory order, inverted (255 = none)
};

// Whose colours a converted picture is given.
enum class ColourTarget {
    Display, // the display's profile (sRGB unless setDisplayProfile was given another)
    Srgb,    // sRGB, for the print service
};

// Profiles larger than this are not believed: real ones are at most a few megabytes.
constexpr qint64 maxProfileBytes = 4LL << 20;

// The display's ICC profile, as the windowing system gives it; empty, or a profile that cannot
// serve as a display's (not RGB, damaged, refused), means sRGB. Set once by the program at start,
// before pictures are decoded; pictures decoded earlier keep the colours they were given.
void setDisplayProfile(const QByteArray &icc);
// Whether the display is taken as sRGB, so a picture converted for it is also what prints.
bool displayIsSrgb();

enum class Conversion {
    Converted, // the image now holds the target's colours
    Unusable,  // the profile was refused or does not fit the pixels: image untouched
    Cancelled, // the cancel flag was set part-way: the image is part converted
};

// Converts the image (Format_RGB32, Format_ARGB32 or Format_ARGB32_Premultiplied) from the
// colours `profile` gives its pixels to the target's. An InvertedCmyk image comes back as RGB32.
// A profile that is damaged, of another colour space than the pixels, or refused by Little CMS
// is Unusable. Looks at `cancel` (may be null) between bands of rows.
Conversion convertColours(QImage &image, const QByteArray &profile, StoredPixels pixels,
                          ColourTarget target, const std::atomic<bool> *cancel = nullptr);

// Converts an image's rows while a decoder is still filling it, on a thread of its own, so that
// on a machine with a core to spare the conversion costs almost nothing beyond the decode. The
// decoder tells which rows are final; finish() converts what is left and gives the outcome, as
// convertColours would. The image (Format_RGB32, not shared, never reallocated meanwhile) must
// outlive the converter; destroying it unfinished stops its thread after at most one band.
class ConcurrentConversion
{
public:
    ConcurrentConversion(QImage &image, const QByteArray &profile, StoredPixels pixels,
                         ColourTarget target, const std::atomic<bool> *cancel);
    ~ConcurrentConversion();
    ConcurrentConversion(const ConcurrentConversion &) = delete;
    ConcurrentConversion &operator=(const ConcurrentConversion &) = delete;

    // Rows [0, rows) are final.
    void rowsReady(int rows);
    // Every row is final: converts the rest (on a thread of its own or, without one, here) and
    // gives the outcome; Unusable (image untouched) when the profile does not serve the pixels.
    Conversion finish();

private:
    struct Work;
    std::shared_ptr<Work> m_work;
};

// Whether the profile can describe pictures stored as `pixels` (used before a decoder commits
// to keeping a CMYK picture's own numbers). Cached with the transforms.
bool profileFits(const QByteArray &profile, StoredPixels pixels, ColourTarget target);

} // namespace vistrel
