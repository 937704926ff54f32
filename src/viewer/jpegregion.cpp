#include "viewer/jpegregion.h"

#include "viewer/embeddedprofile.h"
#include "viewer/loadfailure.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace vistrel {
namespace {

using namespace loadfailure;

// Which file, in which state, a kept decoder reads.
struct FileKey
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};

    bool operator==(const FileKey &o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// Everything a region decode keeps, in one object: the decode jumps back out of libjpeg on
// errors, so nothing with a destructor may live in the frames it jumps over. Once started it
// may be kept between decodes, stopped at its next row, reading its own duplicate of the file.
struct RegionJob
{
    jpeg_decompress_struct cinfo = {};
    jpeg_error_mgr errors = {};
    jpeg_progress_mgr progress = {};
    std::jmp_buf jump = {};
    bool created = false;
    bool started = false;
    bool cancelled = false;
    bool warned = false;
    const std::atomic<bool> *cancel = nullptr;
    FILE *file = nullptr;
    FileKey key;
    // The columns the decoder turns into pixels (whole blocks).
    JDIMENSION cropLeft = 0;
    JDIMENSION cropWidth = 0;
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
    QRect whole() const { return QRect(0, 0, int(cinfo.image_width), int(cinfo.image_height)); }
    // Whether it can go on to this part of the picture: the same columns or fewer, further down.
    bool reaches(const QRect &part) const
    {
        return started && JDIMENSION(part.x()) >= cropLeft &&
               JDIMENSION(part.x() + part.width()) <= cropLeft + cropWidth &&
               JDIMENSION(part.y()) >= cinfo.output_scanline;
    }
};

// Decoders kept after a decode, the most recently used last. A few, each holding a few rows of
// its columns: a far piece below one just read does not read the rows above it again.
constexpr std::size_t maxKept = 6;
std::mutex keptMutex;
std::vector<std::unique_ptr<RegionJob>> &keptJobs()
{
    static std::vector<std::unique_ptr<RegionJob>> kept;
    return kept;
}

std::unique_ptr<RegionJob> takeKept(const FileKey &key, const QRect &region)
{
    const std::lock_guard<std::mutex> lock(keptMutex);
    auto &kept = keptJobs();
    auto best = kept.end();
    for (auto it = kept.begin(); it != kept.end(); ++it)
        if ((*it)->key == key && (*it)->reaches(region & (*it)->whole()) &&
            (best == kept.end() || (*it)->cinfo.output_scanline > (*best)->cinfo.output_scanline))
            best = it;
    if (best == kept.end())
        return nullptr;
    std::unique_ptr<RegionJob> job = std::move(*best);
    kept.erase(best);
    return job;
}

void keep(std::unique_ptr<RegionJob> job)
{
    std::vector<std::unique_ptr<RegionJob>> gone; // closed outside the lock
    const std::lock_guard<std::mutex> lock(keptMutex);
    auto &kept = keptJobs();
    // Decoders of an older state of the same file can never be used again.
    for (auto it = kept.begin(); it != kept.end();) {
        const FileKey &k = (*it)->key;
        if (k.device == job->key.device && k.inode == job->key.inode && !(k == job->key)) {
            gone.push_back(std::move(*it));
            it = kept.erase(it);
        } else {
            ++it;
        }
    }
    kept.push_back(std::move(job));
    while (kept.size() > maxKept) {
        gone.push_back(std::move(kept.front()));
        kept.erase(kept.begin());
    }
}

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

// Reads the header and starts a decoder cropped to the columns of `region`. An empty result
// when it is ready; else the failure.
LoadedPicture startJob(RegionJob &job, int fd, const QRect &region)
{
    const int own = ::dup(fd);
    job.file = own >= 0 ? ::fdopen(own, "rb") : nullptr;
    if (!job.file) {
        if (own >= 0)
            ::close(own);
        return fromErrno(errno);
    }
    job.cinfo.err = jpeg_std_error(&job.errors);
    job.errors.error_exit = errorExit;
    job.errors.emit_message = emitMessage;
    job.errors.output_message = outputMessage;
    job.cinfo.client_data = &job;
    job.created = true;
    jpeg_create_decompress(&job.cinfo);
    job.progress.progress_monitor = monitor;
    job.cinfo.progress = &job.progress;
    jpeg_stdio_src(&job.cinfo, job.file);
    jpeg_save_markers(&job.cinfo, JPEG_APP0 + 2, 0xFFFF); // the pieces of a colour profile
    jpeg_read_header(&job.cinfo, TRUE);
    job.profile = jpegProfile(job.cinfo); // before the segments are freed
    const QRect part = region & job.whole();
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
    job.cropLeft = JDIMENSION(part.x());
    job.cropWidth = JDIMENSION(part.width());
    jpeg_crop_scanline(&job.cinfo, &job.cropLeft, &job.cropWidth);
    job.row.resize(std::size_t(job.cinfo.output_width) * 4);
    job.started = true;
    return failure(LoadedPicture::NoError, QString());
}

// Decodes `region` with `job` (started here when `fresh`), into job.image. Only plain locals:
// libjpeg jumps back here on errors.
LoadedPicture readRegion(RegionJob &job, int fd, const QRect &region, const LoadLimits &limits,
                         bool fresh)
{
    job.cancel = limits.cancel;
    job.cancelled = false;
    job.warned = false;
    job.image = QImage();
    if (setjmp(job.jump) != 0) {
        job.started = false; // never used again
        if (job.cancelled)
            return cancelled();
        char text[JMSG_LENGTH_MAX] = {};
        job.errors.format_message(reinterpret_cast<j_common_ptr>(&job.cinfo), text);
        return failure(LoadedPicture::Unreadable, QString::fromLocal8Bit(text));
    }
    if (fresh) {
        LoadedPicture started = startJob(job, fd, region);
        if (!started.ok())
            return started;
    }
    const QRect part = region & job.whole();
    const qint64 need = qint64(part.width()) * part.height() * 4 + qint64(job.row.size());
    if (need > limits.memoryBytes)
        return tooLarge(need, limits.memoryBytes);
    job.image = QImage(part.size(), QImage::Format_RGB32);
    if (job.image.isNull())
        return failure(LoadedPicture::OutOfMemory, QStringLiteral("no memory for the region"));
    if (JDIMENSION(part.y()) > job.cinfo.output_scanline)
        jpeg_skip_scanlines(&job.cinfo, JDIMENSION(part.y()) - job.cinfo.output_scanline);
    const std::size_t offset = std::size_t(JDIMENSION(part.x()) - job.cropLeft) * 4;
    JSAMPROW row = job.row.data();
    for (int y = 0; y < part.height(); ++y) {
        if (jpeg_read_scanlines(&job.cinfo, &row, 1) != 1) {
            job.image.fill(Qt::black);
            job.started = false;
            break;
        }
        std::memcpy(job.image.scanLine(y), job.row.data() + offset, std::size_t(part.width()) * 4);
    }
    LoadedPicture result;
    result.fullSize = job.whole().size();
    result.incomplete = job.warned;
    return result;
}

} // namespace

bool withFileColours(QImage &image, const QByteArray &profile, StoredPixels stored,
                     const LoadLimits &limits)
{
    return profile.isEmpty() || convertColours(image, profile, stored, limits.colours,
                                               limits.cancel) != Conversion::Cancelled;
}

LoadedPicture decodeJpegRegion(int fd, const QRect &region, const LoadLimits &limits)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return fromErrno(errno);
    const FileKey key{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    std::unique_ptr<RegionJob> job = takeKept(key, region);
    const bool fresh = !job;
    if (fresh) {
        job = std::make_unique<RegionJob>();
        job->key = key;
    }
    LoadedPicture result = readRegion(*job, fd, region, limits, fresh);
    if (!result.ok())
        return result;
    result.image = std::move(job->image);
    const StoredPixels stored =
        job->cinfo.jpeg_color_space == JCS_GRAYSCALE ? StoredPixels::Grey : StoredPixels::Rgb;
    const QByteArray profile = job->profile;
    // A decoder with rows left is kept where it stopped; the rest of the file is not read.
    if (job->started && job->cinfo.output_scanline < job->cinfo.output_height)
        keep(std::move(job));
    if (!withFileColours(result.image, profile, stored, limits))
        return cancelled();
    return result;
}

void dropKeptJpegDecoders()
{
    std::vector<std::unique_ptr<RegionJob>> gone;
    const std::lock_guard<std::mutex> lock(keptMutex);
    gone.swap(keptJobs());
}

} // namespace vistrel
