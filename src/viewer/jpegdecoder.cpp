#include "viewer/jpegdecoder.h"

#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/jpegscale.h"
#include "viewer/jpegstream.h"
#include "viewer/loadfailure.h"
#include "viewer/orientation.h"
#include "viewer/rowreducer.h"

#include <QImage>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace vistrel {
namespace {

using namespace loadfailure;

// Pixels a reduced decode may always use, whatever the area it fills; a larger one is averaged
// down row by row as it is decoded instead of being held.
constexpr qint64 reducedPixelFloor = 16LL * 1024 * 1024;
// Pixels a JPEG may have for each byte of its file: a picture of one flat colour, the best any
// encoder compresses, takes about a byte for every hundred pixels. A header that claims more is
// refused rather than decoded through gigapixels of nothing.
constexpr qint64 pixelsPerFileByte = 1024;

// An image buffer for the decoder. Large ones ask for huge pages: filling a fresh 100 MB buffer
// otherwise costs tens of thousands of page faults, a good part of a full decode.
QImage allocateImage(int width, int height)
{
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    const std::size_t bytesPerLine = std::size_t(width) * 4;
    const std::size_t length = bytesPerLine * std::size_t(height);
    if (length < 4 * hugePage)
        return QImage(width, height, QImage::Format_RGB32);
    const std::size_t rounded = (length + hugePage - 1) / hugePage * hugePage;
    void *memory = std::aligned_alloc(hugePage, rounded);
    if (!memory)
        return {};
    ::madvise(memory, rounded, MADV_HUGEPAGE);
    return QImage(static_cast<uchar *>(memory), width, height, qsizetype(bytesPerLine),
                  QImage::Format_RGB32, std::free, memory);
}

// Inverted CMYK, as image editors write it, to RGB.
void cmykToRgb(const JSAMPLE *in, QRgb *out, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
    }
}

// Inverted CMYK, as image editors write it, to blue, green and red bytes.
void cmykToBytes(JSAMPLE *row, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        JSAMPLE *p = row + 4 * x;
        const int k = p[3];
        const JSAMPLE c = p[0], m = p[1], y = p[2];
        p[0] = JSAMPLE(k * y / 255);
        p[1] = JSAMPLE(k * m / 255);
        p[2] = JSAMPLE(k * c / 255);
    }
}

// Decodes the rows one at a time, averaging them into d.image (already of its reduced size).
void decodeByRows(JpegDecode &d, bool cmyk)
{
    d.reducer = std::make_unique<RowReducer>(
        QSize(int(d.cinfo.output_width), int(d.cinfo.output_height)), 4, false, d.image);
    d.reducer->prepare();
    JSAMPROW row = d.row.data();
    jpeg_start_decompress(&d.cinfo);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) == 0)
            break;
        if (cmyk)
            cmykToBytes(row, d.cinfo.output_width);
        d.reducer->add(qint64(y), row);
    }
    d.reducer->finish();
}

LoadedPicture failedAfterJump(JpegDecode &d)
{
    switch (d.stop) {
    case JpegStop::Cancelled:
        return cancelled();
    case JpegStop::ReadFailed:
        return fromErrno(d.readErrno);
    case JpegStop::TooManyScans:
        return failure(LoadedPicture::Unreadable,
                       QStringLiteral("it has more scans than any encoder writes"));
    case JpegStop::None:
        break;
    }
    const int code = d.errors.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("the decoder ran out of memory"));
    char text[JMSG_LENGTH_MAX] = {};
    d.errors.format_message(reinterpret_cast<j_common_ptr>(&d.cinfo), text);
    return failure(LoadedPicture::Unreadable, QString::fromLocal8Bit(text));
}

LoadedPicture finished(JpegDecode &d, Orientation orientation)
{
    LoadedPicture result;
    result.fullSize =
        turned(QSize(int(d.cinfo.image_width), int(d.cinfo.image_height)), orientation);
    result.incomplete = d.warned;
    result.image = upright(std::move(d.image), orientation);
    if (result.image.isNull())
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory to turn the picture"));
    return result;
}

} // namespace

LoadedPicture decodeJpeg(int fd, const JpegRequest &request)
{
    JpegDecode d;
    if (!d.input)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the decoder"));
    d.fd = fd;
    d.cancel = request.limits.cancel;
    prepareJpegErrors(d);
    if (setjmp(d.jump) != 0)
        return failedAfterJump(d);

    d.created = true; // destroying a decoder whose creation failed is safe
    jpeg_CreateDecompress(&d.cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    attachJpegSource(d);
    jpeg_read_header(&d.cinfo, TRUE);

    // Without a byte of scan data a decode "succeeds" with nothing but grey.
    if (d.source.bytes_in_buffer == 0)
        readJpegInput(d);
    if (d.ended)
        return failure(LoadedPicture::Unreadable, QStringLiteral("no picture data follows"));

    const Orientation orientation = exifOrientation(d.exif.get(), d.exifLength);

    // The stored picture must be at least the asked size once turned upright.
    const qint64 memory = request.limits.memoryBytes;
    const QSize wanted = turned(request.atLeast, orientation);
    const bool reduce = wanted.width() > 0 && wanted.height() > 0;
    const int eighths = jpegScale(d.cinfo, wanted, request.largestWithinBudget,
                                  {memory, qint64(inputChunk), orientation});
    const qint64 width = scaledLength(d.cinfo.image_width, eighths);
    const qint64 height = scaledLength(d.cinfo.image_height, eighths);
    const qint64 needed =
        jpegBytesNeeded(d.cinfo, eighths, {memory, qint64(inputChunk), orientation});
    // A reduced decode needs at most a few times the area it fills; a picture more than eight
    // times larger than that area is averaged down row by row as it is decoded.
    const qint64 areaLimit = qMax(reducedPixelFloor, 4 * qint64(wanted.width()) * wanted.height());
    struct stat st = {};
    const qint64 fileBytes = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : 0;
    const qint64 fullPixels = qint64(d.cinfo.image_width) * d.cinfo.image_height;
    const bool byRows = reduce && width * height > areaLimit;
    const QSize out =
        byRows ? QSize(int(width), int(height)).boundedTo(wanted) : QSize(int(width), int(height));
    // By rows the decoder's own buffers remain, the picture is only the reduced one.
    const qint64 outBytes = qint64(out.width()) * out.height() * 4;
    const qint64 rowsNeeded = needed - width * height * 4 * (swapsSides(orientation) ? 2 : 1) +
                              outBytes * (swapsSides(orientation) ? 2 : 1) + width * 4 +
                              RowReducer::extraBytes(QSize(int(width), int(height)), out);
    if ((byRows ? rowsNeeded : needed) > memory)
        return tooLarge(byRows ? rowsNeeded : needed, memory);
    if (byRows && fullPixels / pixelsPerFileByte > fileBytes)
        return failure(LoadedPicture::OutOfMemory,
                       QStringLiteral("its header claims far more pixels than its file can hold"));

    d.cinfo.scale_num = unsigned(eighths);
    d.cinfo.scale_denom = 8;
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    const StoredPixels stored = cmyk ? StoredPixels::InvertedCmyk
                                : d.cinfo.jpeg_color_space == JCS_GRAYSCALE ? StoredPixels::Grey
                                                                            : StoredPixels::Rgb;
    d.icc = d.iccChunks.profile();
    // CMYK with a profile it fits is kept as stored, four bytes a pixel, for the conversion.
    const bool keepCmyk = cmyk && !d.icc.isEmpty() && profileFits(d.icc, stored, request.colours);
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    // Rows averaged down are read as bytes, blue first; whole pictures as 32-bit words.
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : byRows ? JCS_EXT_BGRX : JCS_EXT_XRGB;
#else
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#endif
    // The decoder's own allocations beyond the estimate fail instead of growing.
    d.cinfo.mem->max_memory_to_use = long(memory - (byRows ? outBytes : width * height * 4));
    qint64 blocks = 0;
    for (int c = 0; c < d.cinfo.num_components; ++c)
        blocks +=
            qint64(d.cinfo.comp_info[c].width_in_blocks) * d.cinfo.comp_info[c].height_in_blocks;
    d.visitLimit = qMax(visitsAlwaysAllowed, passesAllowed * blocks);

    jpeg_calc_output_dimensions(&d.cinfo);
    if (byRows) {
        d.image = allocateImage(out.width(), out.height());
        d.row.resize(std::size_t(d.cinfo.output_width) * 4);
        if (d.image.isNull())
            return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the picture"));
        decodeByRows(d, cmyk);
        // A CMYK profile needs the stored inks, which are averaged away by now.
        if (!d.icc.isEmpty() && !cmyk &&
            convertColours(d.image, d.icc, stored, request.colours, d.cancel) ==
                Conversion::Cancelled)
            return cancelled();
        return finished(d, orientation);
    }
    d.image = allocateImage(int(d.cinfo.output_width), int(d.cinfo.output_height));
    if (cmyk && !keepCmyk)
        d.cmykRow.reset(new (std::nothrow) JSAMPLE[std::size_t(d.cinfo.output_width) * 4]);
    if (d.image.isNull() || (cmyk && !keepCmyk && !d.cmykRow))
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the picture"));
    d.rows.resize(d.cinfo.output_height);
    for (JDIMENSION y = 0; y < d.cinfo.output_height; ++y)
        d.rows[y] = d.image.scanLine(int(y));

    // Once, on the reduced picture, beside the decode. A profile that cannot be used leaves the
    // stored numbers.
    if (!d.icc.isEmpty() && (!cmyk || keepCmyk))
        d.colours = std::make_unique<ConcurrentConversion>(d.image, d.icc, stored, request.colours,
                                                           d.cancel);
    JSAMPROW cmykRow = d.cmykRow.get();
    jpeg_start_decompress(&d.cinfo);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        if (cmyk && !keepCmyk) {
            if (jpeg_read_scanlines(&d.cinfo, &cmykRow, 1) == 0)
                break;
            cmykToRgb(cmykRow, reinterpret_cast<QRgb *>(d.rows[y]), d.cinfo.output_width);
        } else if (jpeg_read_scanlines(&d.cinfo, &d.rows[y], d.cinfo.output_height - y) == 0) {
            break;
        }
        if (d.colours)
            d.colours->rowsReady(int(d.cinfo.output_scanline));
    }
    // The rest of the file is not read: trailing bytes cannot change the picture.

    if (!d.icc.isEmpty()) {
        const Conversion done =
            d.colours ? d.colours->finish()
                      : convertColours(d.image, d.icc, stored, request.colours, d.cancel);
        if (done == Conversion::Cancelled)
            return cancelled();
        if (done == Conversion::Unusable && keepCmyk)
            for (int y = 0; y < d.image.height(); ++y)
                cmykToRgb(d.image.scanLine(y), reinterpret_cast<QRgb *>(d.image.scanLine(y)),
                          d.cinfo.output_width);
    }

    return finished(d, orientation);
}

} // namespace vistrel
