#include "viewer/jpegscale.h"

namespace vistrel {
namespace {

qint64 roundUp(qint64 value, qint64 step)
{
    return (value + step - 1) / step * step;
}

} // namespace

qint64 scaledLength(JDIMENSION length, int eighths)
{
    return (qint64(length) * eighths + 7) / 8;
}

qint64 jpegBytesNeeded(const jpeg_decompress_struct &cinfo, int eighths, const JpegBudget &budget)
{
    qint64 bytes = budget.inputBytes;
    const qint64 picture =
        scaledLength(cinfo.image_width, eighths) * scaledLength(cinfo.image_height, eighths) * 4;
    bytes += swapsSides(budget.orientation) ? 2 * picture : picture;
    bytes += (qint64(cinfo.image_width) * cinfo.num_components +
              scaledLength(cinfo.image_width, eighths)) *
             64;
    // jpeg_has_multiple_scans takes a non-const pointer but only reads.
    if (jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo))) {
        for (int c = 0; c < cinfo.num_components; ++c) {
            const jpeg_component_info &comp = cinfo.comp_info[c];
            bytes += roundUp(comp.width_in_blocks, comp.h_samp_factor) *
                     roundUp(comp.height_in_blocks, comp.v_samp_factor) * qint64(sizeof(JBLOCK));
        }
    }
    return bytes;
}

int jpegScale(const jpeg_decompress_struct &cinfo, const QSize &wanted, bool largest,
              const JpegBudget &budget)
{
    int eighths = 8;
    if (largest) {
        while (eighths > 1 && jpegBytesNeeded(cinfo, eighths, budget) > budget.memoryBytes)
            --eighths;
    } else if (wanted.width() > 0 && wanted.height() > 0) {
        while (eighths > 1 && scaledLength(cinfo.image_width, eighths - 1) >= wanted.width() &&
               scaledLength(cinfo.image_height, eighths - 1) >= wanted.height())
            --eighths;
    }
    return eighths;
}

} // namespace vistrel
