#pragma once

// The JPEG decoder's state and what libjpeg calls back into it: the file read in chunks, the
// segments it keeps (orientation, colour profile), errors and the progress monitor.

#include "viewer/colourprofile.h"
#include "viewer/embeddedprofile.h"
#include "viewer/rowreducer.h"

#include <QByteArray>
#include <QImage>

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <sys/types.h>
#include <vector>

#include <jpeglib.h>

namespace vistrel {

// Bytes read from the file at a time: the file itself is never held whole.
inline constexpr std::size_t inputChunk = 128 * 1024;

// A decoder visits every block of the picture once per scan, even for a scan without data, so
// a small file of thousands of scans can take minutes. Encoders write about ten scans (each
// covering one or all components); a file that needs more than this many visits of each block,
// or more scans than this, is not a picture anyone made and is refused as unreadable.
inline constexpr qint64 passesAllowed = 16;
inline constexpr int scansAllowed = 500;
// Visits always allowed, so that tiny pictures with a few more scans than blocks still decode.
inline constexpr qint64 visitsAlwaysAllowed = 1 << 20;

enum class JpegStop { None, Cancelled, TooManyScans, ReadFailed };

// Everything the decode keeps, in one object whose address libjpeg's callbacks receive. The
// decode jumps back out of libjpeg on errors (the library's C error protocol), so nothing with
// a destructor may live in the frames it jumps over: all of it lives here.
struct JpegDecode
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
    JpegStop stop = JpegStop::None;
    const std::atomic<bool> *cancel = nullptr;
    int lastScan = 0;
    qint64 visits = 0;
    qint64 visitLimit = 0;

    QImage image;
    std::unique_ptr<JSAMPLE[]> cmykRow;
    // A picture averaged down as it is decoded: one decoded row at a time, and the averager.
    std::vector<JSAMPLE> row;
    std::unique_ptr<RowReducer> reducer;
    std::vector<JSAMPROW> rows;
    // Converts the colours of the rows decoded so far beside the decode; declared after the
    // image, so that it stops before the image goes.
    std::unique_ptr<ConcurrentConversion> colours;

    ~JpegDecode()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Points the decoder's error handling at `d` (before setjmp); errors then jump to d.jump.
void prepareJpegErrors(JpegDecode &d);
// Gives the created decompressor its source (the file at d.fd), progress monitor and the
// readers of the segments it keeps.
void attachJpegSource(JpegDecode &d);
// Reads the next chunk of the file into the source's buffer.
void readJpegInput(JpegDecode &d);

} // namespace vistrel
