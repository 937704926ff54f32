#include "viewer/orientation.h"

#include <QTransform>

#include <libexif/exif-data.h>

#include <cstring>
#include <memory>

namespace vistrel {
namespace {

struct ExifDataFree
{
    void operator()(ExifData *data) const { exif_data_unref(data); }
};

} // namespace

Orientation exifOrientation(const unsigned char *data, std::size_t length)
{
    static const unsigned char header[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || length <= sizeof header || std::memcmp(data, header, sizeof header) != 0)
        return Orientation::Upright;
    std::unique_ptr<ExifData, ExifDataFree> exif(exif_data_new());
    if (!exif)
        return Orientation::Upright;
    // Read the block as it is: no entries added or "corrected", no maker notes rewritten.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(exif.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(exif.get(), data, static_cast<unsigned int>(length));
    // The tag belongs to the main picture's directory; the thumbnail's has its own.
    ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 || !entry->data ||
        entry->size < 2)
        return Orientation::Upright;
    const ExifShort value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    if (value < 1 || value > 8)
        return Orientation::Upright;
    return static_cast<Orientation>(value);
}

bool swapsSides(Orientation orientation)
{
    return static_cast<int>(orientation) >= static_cast<int>(Orientation::Transposed);
}

QSize turned(const QSize &size, Orientation orientation)
{
    return swapsSides(orientation) ? size.transposed() : size;
}

QImage upright(QImage stored, Orientation orientation)
{
    if (stored.isNull())
        return stored;
    switch (orientation) {
    case Orientation::Upright:
        return stored;
    case Orientation::MirroredHorizontally:
        stored.mirror(true, false);
        return stored;
    case Orientation::Rotated180:
        stored.mirror(true, true);
        return stored;
    case Orientation::MirroredVertically:
        stored.mirror(false, true);
        return stored;
    default:
        break;
    }
    // A quarter turn clockwise, then for the two diagonal mirrors a flip of the turned picture:
    // transposing is the clockwise turn mirrored left to right, the other diagonal the same
    // turn mirrored top to bottom.
    const bool clockwise = orientation != Orientation::RotatedLeft;
    QImage turnedImage = stored.transformed(QTransform().rotate(clockwise ? 90 : 270));
    stored = QImage(); // the stored picture is no longer needed before any mirror
    if (orientation == Orientation::Transposed)
        turnedImage.mirror(true, false);
    else if (orientation == Orientation::Transversed)
        turnedImage.mirror(false, true);
    return turnedImage;
}

} // namespace vistrel
