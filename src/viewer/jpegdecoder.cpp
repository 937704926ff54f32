#include "viewer/jpegdecoder.h"

#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/jpegscale.h"
#include "viewer/loadfailure.h"
#include "viewer/orientation.h"

#include <QImage>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace vistrel {
namespace {

using namespace loadfailure;

// Bytes read from the file at a time: the file itself is never held whole.
constexpr std::size_t inputChunk = 128 * 1024;

// A decoder visits every block of the picture once per scan, even for a scan without data, so
// a small file of thousands of scans can take minutes. Encoders write about ten scans (each
// covering one or all components); a file that needs more than this many visits of each block,
// or more scans than this, is not a picture anyone made and is refused as unreadable.
constexpr qint64 passesAllowed = 16;
constexpr int scansAllowed = 500;
// Visits always allowed, so that tiny pictures with a few more scans than blocks still decode.
constexpr qint64 visitsAlwaysAllowed = 1 << 20;

// Pixels a reduced decode may always use, whatever the area it fills.
constexpr qint64 reducedPixelFloor = 16LL * 1024 * 1024;

enum class Stop { None, Cancelled, TooManyScans, ReadFailed };

// Everything the decode keeps, in one object whose address libjpeg's callbacks receive. The
// decode jumps back out of libjpeg on errors (the library's C error protocol), so nothing with
// a destructor may live in the frames it jumps over: all of it lives here.
struct Decoder
{
    jpeg_decompress_struct cinfo = {};
    jpeg_error_mgr errors = {};
    jpeg_source_mgr source = {};
    jpeg_progress_mgr progress = {};
    std::jmp_buf jump = {};
    bool created = false;

    int fd = -1;
    off_t offset = 0; // of the next byte to read from the file
    bool ended = false;
    int readErrno = 0;
    std::unique_ptr<JOCTET[]> input{new (std::nothrow) JOCTET[inputChunk]};

    // The first EXIF segment, kept for its orientation tag; every other segment is skipped
    // unread, so that a file of many large segments costs no memory.
    std::unique_ptr<unsigned char[]> exif;
    std::size_t exifLength = 0;
    // The pieces of an embedded colour profile, then the profile they make.
    IccChunks iccChunks;
    QByteArray icc;

    bool warned = false;
    Stop stop = Stop::None;
    const std::atomic<bool> *cancel = nullptr;
    int lastScan = 0;
    qint64 visits = 0;
    qint64 visitLimit = 0;

    QImage image;
    std::unique_ptr<JSAMPLE[]> cmykRow;
    std::vector<JSAMPROW> rows;
    // Converts the colours of the rows decoded so far beside the decode; declared after the
    // image, so that it stops before the image goes.
    std::unique_ptr<ConcurrentConversion> colours;

    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

Decoder *decoderOf(j_common_ptr cinfo)
{
    return static_cast<Decoder *>(cinfo->client_data);
}

j_common_ptr common(j_decompress_ptr cinfo)
{
    return reinterpret_cast<j_common_ptr>(cinfo);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(decoderOf(cinfo)->jump, 1);
}

[[noreturn]] void stopDecoding(j_common_ptr cinfo, Stop why)
{
    decoderOf(cinfo)->stop = why;
    errorExit(cinfo);
}

// Warnings (damaged or missing data) are remembered, never printed.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        decoderOf(cinfo)->warned = true;
}

void outputMessage(j_common_ptr) {}

void initSource(j_decompress_ptr) {}

void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo)
{
    Decoder *d = decoderOf(common(cinfo));
    ssize_t n = 0;
    do
        n = ::pread(d->fd, d->input.get(), inputChunk, d->offset);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        d->readErrno = errno;
        stopDecoding(common(cinfo), Stop::ReadFailed);
    }
    if (n == 0) {
        // The data ends early: an end marker lets the decoder finish what it has.
        d->ended = true;
        d->input[0] = 0xFF;
        d->input[1] = JPEG_EOI;
        n = 2;
        cinfo->err->msg_code = JWRN_JPEG_EOF;
        cinfo->err->emit_message(common(cinfo), -1);
    } else {
        d->offset += n;
    }
    cinfo->src->next_input_byte = d->input.get();
    cinfo->src->bytes_in_buffer = std::size_t(n);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *src = cinfo->src;
    if (std::size_t(count) <= src->bytes_in_buffer) {
        src->next_input_byte += count;
        src->bytes_in_buffer -= std::size_t(count);
        return;
    }
    decoderOf(common(cinfo))->offset += off_t(std::size_t(count) - src->bytes_in_buffer);
    src->bytes_in_buffer = 0;
}

JOCTET nextByte(j_decompress_ptr cinfo)
{
    if (cinfo->src->bytes_in_buffer == 0)
        fillInput(cinfo);
    --cinfo->src->bytes_in_buffer;
    return *cinfo->src->next_input_byte++;
}

boolean readApp1(j_decompress_ptr cinfo)
{
    Decoder *d = decoderOf(common(cinfo));
    const int high = nextByte(cinfo);
    long left = long((high << 8) | nextByte(cinfo)) - 2;
    static const unsigned char exifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!d->exif && left > long(sizeof exifHeader)) {
        unsigned char head[sizeof exifHeader] = {};
        for (unsigned char &c : head)
            c = nextByte(cinfo);
        left -= long(sizeof head);
        if (std::memcmp(head, exifHeader, sizeof head) == 0) {
            d->exif.reset(new (std::nothrow) unsigned char[sizeof head + std::size_t(left)]);
            if (d->exif) {
                std::memcpy(d->exif.get(), head, sizeof head);
                for (d->exifLength = sizeof head; left > 0; --left)
                    d->exif[d->exifLength++] = nextByte(cinfo);
            }
        }
    }
    skipInput(cinfo, left);
    return TRUE;
}

// Copies the next `count` bytes of the segment being read.
void readBytes(j_decompress_ptr cinfo, unsigned char *to, long count)
{
    while (count > 0) {
        if (cinfo->src->bytes_in_buffer == 0)
            fillInput(cinfo);
        const long n = qMin(count, long(cinfo->src->bytes_in_buffer));
        std::memcpy(to, cinfo->src->next_input_byte, std::size_t(n));
        cinfo->src->next_input_byte += n;
        cinfo->src->bytes_in_buffer -= std::size_t(n);
        to += n;
        count -= n;
    }
}

// The pieces of an ICC profile are kept, within their bounds; other APP2 segments are skipped.
boolean readApp2(j_decompress_ptr cinfo)
{
    Decoder *d = decoderOf(common(cinfo));
    const int high = nextByte(cinfo);
    long left = long((high << 8) | nextByte(cinfo)) - 2;
    if (left >= long(IccChunks::headerBytes)) {
        unsigned char head[IccChunks::headerBytes] = {};
        readBytes(cinfo, head, long(sizeof head));
        left -= long(sizeof head);
        if (IccChunks::isPiece(head)) {
            if (unsigned char *to = d->iccChunks.place(head[12], head[13], std::size_t(left))) {
                readBytes(cinfo, to, left);
                left = 0;
            }
        }
    }
    skipInput(cinfo, left);
    return TRUE;
}

// Called by libjpeg before each row of each scan and each group of output rows.
void monitor(j_common_ptr cinfo)
{
    Decoder *d = decoderOf(cinfo);
    if (d->cancel && d->cancel->load(std::memory_order_relaxed))
        stopDecoding(cinfo, Stop::Cancelled);
    const auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number == d->lastScan)
        return;
    d->lastScan = dinfo->input_scan_number;
    for (int i = 0; i < dinfo->comps_in_scan; ++i)
        d->visits += qint64(dinfo->cur_comp_info[i]->width_in_blocks) *
                     dinfo->cur_comp_info[i]->height_in_blocks;
    if (d->lastScan > scansAllowed || d->visits > d->visitLimit)
        stopDecoding(cinfo, Stop::TooManyScans);
}

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

LoadedPicture failedAfterJump(Decoder &d)
{
    switch (d.stop) {
    case Stop::Cancelled:
        return cancelled();
    case Stop::ReadFailed:
        return fromErrno(d.readErrno);
    case Stop::TooManyScans:
        return failure(LoadedPicture::Unreadable,
                       QStringLiteral("it has more scans than any encoder writes"));
    case Stop::None:
        break;
    }
    const int code = d.errors.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("the decoder ran out of memory"));
    char text[JMSG_LENGTH_MAX] = {};
    d.errors.format_message(common(&d.cinfo), text);
    return failure(LoadedPicture::Unreadable, QString::fromLocal8Bit(text));
}

} // namespace

LoadedPicture decodeJpeg(int fd, const JpegRequest &request)
{
    Decoder d;
    if (!d.input)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the decoder"));
    d.fd = fd;
    d.cancel = request.limits.cancel;
    d.cinfo.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = errorExit;
    d.errors.emit_message = emitMessage;
    d.errors.output_message = outputMessage;
    d.cinfo.client_data = &d;
    if (setjmp(d.jump) != 0)
        return failedAfterJump(d);

    d.created = true; // destroying a decoder whose creation failed is safe
    jpeg_CreateDecompress(&d.cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    d.source.init_source = initSource;
    d.source.fill_input_buffer = fillInput;
    d.source.skip_input_data = skipInput;
    d.source.resync_to_restart = jpeg_resync_to_restart;
    d.source.term_source = termSource;
    d.cinfo.src = &d.source;
    d.progress.progress_monitor = monitor;
    d.cinfo.progress = &d.progress;
    jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + 1, readApp1);
    jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + 2, readApp2);
    jpeg_read_header(&d.cinfo, TRUE);

    // Without a byte of scan data a decode "succeeds" with nothing but grey.
    if (d.source.bytes_in_buffer == 0)
        fillInput(&d.cinfo);
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
    // A reduced decode needs at most a few times the area it fills, unless the picture is more
    // than eight times larger than that area: such a claim is refused rather than decoded into
    // a buffer nothing needs.
    const qint64 areaLimit = qMax(reducedPixelFloor, 4 * qint64(wanted.width()) * wanted.height());
    if (needed > memory)
        return tooLarge(needed, memory);
    if (reduce && width * height > areaLimit)
        return failure(LoadedPicture::OutOfMemory,
                       QStringLiteral("even reduced it is far larger than the area it fills"));

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
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#else
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#endif
    // The decoder's own allocations beyond the estimate fail instead of growing.
    d.cinfo.mem->max_memory_to_use = long(memory - width * height * 4);
    qint64 blocks = 0;
    for (int c = 0; c < d.cinfo.num_components; ++c)
        blocks +=
            qint64(d.cinfo.comp_info[c].width_in_blocks) * d.cinfo.comp_info[c].height_in_blocks;
    d.visitLimit = qMax(visitsAlwaysAllowed, passesAllowed * blocks);

    jpeg_calc_output_dimensions(&d.cinfo);
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

    LoadedPicture result;
    result.fullSize =
        turned(QSize(int(d.cinfo.image_width), int(d.cinfo.image_height)), orientation);
    result.incomplete = d.warned;
    result.image = upright(std::move(d.image), orientation);
    if (result.image.isNull())
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory to turn the picture"));
    return result;
}

} // namespace vistrel
