#include "viewer/jpegstream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <jerror.h>

namespace vistrel {
namespace {

JpegDecode *decoderOf(j_common_ptr cinfo)
{
    return static_cast<JpegDecode *>(cinfo->client_data);
}

j_common_ptr common(j_decompress_ptr cinfo)
{
    return reinterpret_cast<j_common_ptr>(cinfo);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(decoderOf(cinfo)->jump, 1);
}

[[noreturn]] void stopDecoding(j_common_ptr cinfo, JpegStop why)
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
    JpegDecode *d = decoderOf(common(cinfo));
    ssize_t n = 0;
    do
        n = ::pread(d->fd, d->input.get(), inputChunk, d->offset);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        d->readErrno = errno;
        stopDecoding(common(cinfo), JpegStop::ReadFailed);
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
    JpegDecode *d = decoderOf(common(cinfo));
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
    JpegDecode *d = decoderOf(common(cinfo));
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
    JpegDecode *d = decoderOf(cinfo);
    if (d->cancel && d->cancel->load(std::memory_order_relaxed))
        stopDecoding(cinfo, JpegStop::Cancelled);
    const auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number == d->lastScan)
        return;
    d->lastScan = dinfo->input_scan_number;
    for (int i = 0; i < dinfo->comps_in_scan; ++i)
        d->visits += qint64(dinfo->cur_comp_info[i]->width_in_blocks) *
                     dinfo->cur_comp_info[i]->height_in_blocks;
    if (d->lastScan > scansAllowed || d->visits > d->visitLimit)
        stopDecoding(cinfo, JpegStop::TooManyScans);
}

} // namespace

void prepareJpegErrors(JpegDecode &d)
{
    d.cinfo.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = errorExit;
    d.errors.emit_message = emitMessage;
    d.errors.output_message = outputMessage;
    d.cinfo.client_data = &d;
}

void attachJpegSource(JpegDecode &d)
{
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
}

void readJpegInput(JpegDecode &d)
{
    fillInput(&d.cinfo);
}

} // namespace vistrel
