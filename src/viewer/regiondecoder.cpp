#include "viewer/regiondecoder.h"

#include "common/openedfile.h"
#include "viewer/bmpdecoder.h"
#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/fileread.h"
#include "viewer/loadfailure.h"
#include "viewer/pictureheader.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace vistrel {
namespace {

using namespace loadfailure;

// Everything a region decode keeps, in one object: the decode jumps back out of libjpeg on
// errors, so nothing with a destructor may live in the frames it jumps over.
struct RegionJob
{
    jpeg_decompress_struct cinfo = {};
    jpeg_error_mgr errors = {};
    jpeg_progress_mgr progress = {};
    std::jmp_buf jump = {};
    bool created = false;
    bool cancelled = false;
    bool warned = false;
    const std::atomic<bool> *cancel = nullptr;
    FILE *file = nullptr;
    std::vector<JSAMPLE> row;
    QImage image;
    QByteArray profile;

    ~RegionJob()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
        if (file)
            std::fclose(file);
    }
};

RegionJob *jobOf(j_common_ptr cinfo)
{
    return static_cast<RegionJob *>(cinfo->client_data);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(jobOf(cinfo)->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        jobOf(cinfo)->warned = true;
}

void outputMessage(j_common_ptr) {}

void monitor(j_common_ptr cinfo)
{
    RegionJob *job = jobOf(cinfo);
    if (job->cancel && job->cancel->load(std::memory_order_relaxed)) {
        job->cancelled = true;
        errorExit(cinfo);
    }
}

// The profile the JPEG's saved APP2 segments carry; empty when none or a damaged one.
QByteArray jpegProfile(const jpeg_decompress_struct &cinfo)
{
    IccChunks chunks;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 2 || m->data_length < IccChunks::headerBytes ||
            !IccChunks::isPiece(m->data))
            continue;
        const std::size_t length = m->data_length - IccChunks::headerBytes;
        if (unsigned char *to = chunks.place(m->data[12], m->data[13], length))
            std::memcpy(to, m->data + IccChunks::headerBytes, length);
    }
    return chunks.profile();
}

// A tile is given the colours the whole picture is given: the file's profile converted to the
// display's. False when cancelled part-way.
bool withFileColours(QImage &image, const QByteArray &profile, StoredPixels stored,
                     const LoadLimits &limits)
{
    return profile.isEmpty() || convertColours(image, profile, stored, limits.colours,
                                               limits.cancel) != Conversion::Cancelled;
}

LoadedPicture decodeJpegRegion(int fd, const QRect &region, const LoadLimits &limits)
{
    RegionJob job;
    const int own = ::dup(fd);
    job.file = own >= 0 ? ::fdopen(own, "rb") : nullptr;
    if (!job.file) {
        if (own >= 0)
            ::close(own);
        return fromErrno(errno);
    }
    job.cancel = limits.cancel;
    job.cinfo.err = jpeg_std_error(&job.errors);
    job.errors.error_exit = errorExit;
    job.errors.emit_message = emitMessage;
    job.errors.output_message = outputMessage;
    job.cinfo.client_data = &job;
    if (setjmp(job.jump) != 0) {
        if (job.cancelled)
            return cancelled();
        char text[JMSG_LENGTH_MAX] = {};
        job.errors.format_message(reinterpret_cast<j_common_ptr>(&job.cinfo), text);
        return failure(LoadedPicture::Unreadable, QString::fromLocal8Bit(text));
    }
    job.created = true;
    jpeg_create_decompress(&job.cinfo);
    job.progress.progress_monitor = monitor;
    job.cinfo.progress = &job.progress;
    jpeg_stdio_src(&job.cinfo, job.file);
    jpeg_save_markers(&job.cinfo, JPEG_APP0 + 2, 0xFFFF); // the pieces of a colour profile
    jpeg_read_header(&job.cinfo, TRUE);
    job.profile = jpegProfile(job.cinfo); // before the segments are freed
    const QRect whole(0, 0, int(job.cinfo.image_width), int(job.cinfo.image_height));
    const QRect part = region & whole;
    if (jpeg_has_multiple_scans(&job.cinfo) || job.cinfo.jpeg_color_space == JCS_CMYK ||
        job.cinfo.jpeg_color_space == JCS_YCCK || part.isEmpty())
        return failure(LoadedPicture::Unreadable, QStringLiteral("not readable by region"));
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    job.cinfo.out_color_space = JCS_EXT_XRGB;
#else
    job.cinfo.out_color_space = JCS_EXT_BGRX;
#endif
    jpeg_start_decompress(&job.cinfo);
    // Cropping widens the columns to whole blocks; the rows above are skipped undecoded.
    JDIMENSION left = JDIMENSION(part.x());
    JDIMENSION width = JDIMENSION(part.width());
    jpeg_crop_scanline(&job.cinfo, &left, &width);
    const qint64 rowBytes = qint64(job.cinfo.output_width) * 4;
    if (qint64(part.width()) * part.height() * 4 + rowBytes > limits.memoryBytes)
        return tooLarge(qint64(part.width()) * part.height() * 4 + rowBytes, limits.memoryBytes);
    job.row.resize(std::size_t(rowBytes));
    job.image = QImage(part.size(), QImage::Format_RGB32);
    if (job.image.isNull())
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the region"));
    if (part.y() > 0)
        jpeg_skip_scanlines(&job.cinfo, JDIMENSION(part.y()));
    const std::size_t offset = std::size_t(JDIMENSION(part.x()) - left) * 4;
    JSAMPROW row = job.row.data();
    for (int y = 0; y < part.height(); ++y) {
        if (jpeg_read_scanlines(&job.cinfo, &row, 1) != 1) {
            job.image.fill(Qt::black);
            break;
        }
        std::memcpy(job.image.scanLine(y), job.row.data() + offset, std::size_t(part.width()) * 4);
    }
    // The rest of the file is not read.
    jpeg_abort_decompress(&job.cinfo);
    const StoredPixels stored =
        job.cinfo.jpeg_color_space == JCS_GRAYSCALE ? StoredPixels::Grey : StoredPixels::Rgb;
    if (!withFileColours(job.image, job.profile, stored, limits))
        return cancelled();

    LoadedPicture result;
    result.fullSize = whole.size();
    result.incomplete = job.warned;
    result.image = std::move(job.image);
    return result;
}

LoadedPicture decodeBmpRegion(int fd, const BmpLayout &layout, const QRect &region,
                              const QByteArray &profile, const LoadLimits &limits)
{
    const QRect part = region & QRect(QPoint(0, 0), layout.size);
    if (part.isEmpty())
        return failure(LoadedPicture::Unreadable, QStringLiteral("not readable by region"));
    // The stored bytes that hold the columns asked for, and the first of them in those bytes.
    const qint64 firstByte = qint64(part.x()) * layout.bits / 8;
    const qint64 skip = qint64(part.x()) - firstByte * 8 / layout.bits;
    const qint64 bytes = (qint64(part.right() + 1) * layout.bits + 7) / 8 - firstByte;
    const qint64 rowBytes = bytes + qint64(part.width()) * 3;
    if (qint64(part.width()) * part.height() * 4 + rowBytes > limits.memoryBytes)
        return tooLarge(qint64(part.width()) * part.height() * 4 + rowBytes, limits.memoryBytes);
    QImage image(part.size(), QImage::Format_RGB32);
    std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[std::size_t(rowBytes)]);
    if (image.isNull() || !row)
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the region"));
    unsigned char *pixels = row.get() + bytes;
    bool incomplete = false;
    for (int y = 0; y < part.height(); ++y) {
        if (limits.cancel && limits.cancel->load(std::memory_order_relaxed))
            return cancelled();
        const qint64 pictureRow = part.y() + y;
        const qint64 fileRow = layout.topDown ? pictureRow : layout.size.height() - 1 - pictureRow;
        const qint64 at = layout.dataOffset + fileRow * layout.stride + firstByte;
        const qint64 got = readAt(fd, row.get(), bytes, at);
        if (got < 0)
            return fromErrno(errno);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (got < bytes) { // the file shrank since its size was looked at
            incomplete = true;
            std::fill_n(out, part.width(), qRgb(0, 0, 0));
            continue;
        }
        bmpPixels(layout, row.get(), skip, part.width(), pixels);
        const unsigned char *in = pixels;
        for (int x = 0; x < part.width(); ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    if (!withFileColours(image, profile, StoredPixels::Rgb, limits))
        return cancelled();
    LoadedPicture p;
    p.fullSize = layout.size;
    p.incomplete = incomplete;
    p.image = std::move(image);
    return p;
}

} // namespace

bool RegionDecoder::handles(const QByteArray &nativePath)
{
    return readPictureHeader(nativePath).byRegion;
}

LoadedPicture RegionDecoder::decode(const QByteArray &nativePath, const QRect &region,
                                    const LoadLimits &limits)
{
    if (limits.cancel && limits.cancel->load(std::memory_order_relaxed))
        return cancelled();
    const OpenedFile file(nativePath);
    if (!file.isOpen())
        return fromErrno(file.error());
    if (!file.isRegular())
        return failure(LoadedPicture::Unreadable, QStringLiteral("is not a regular file"));
    const int fd = file.fd();
    const struct stat &st = file.status();
    LoadLimits bounded = limits;
    if (bounded.memoryBytes <= 0)
        bounded.memoryBytes = memoryBoundFloor;
    unsigned char head[bmpHeadBytes] = {};
    const qint64 got = readAt(fd, head, sizeof head, 0);
    if (got < 0)
        return fromErrno(errno);
    try {
        if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
            return decodeJpegRegion(fd, region, bounded);
        const BmpLayout bmp = readBmpLayout(head, got, qint64(st.st_size));
        if (bmp.valid)
            return decodeBmpRegion(fd, bmp, region, bmpProfile(fd, head, got, qint64(st.st_size)),
                                   bounded);
    } catch (const std::bad_alloc &) {
        return noMemoryLeft();
    }
    return failure(LoadedPicture::Unreadable, QStringLiteral("not readable by region"));
}

} // namespace vistrel
