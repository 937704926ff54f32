#include "viewer/bmpdecoder.h"

#include "viewer/fileread.h"
#include "viewer/loadfailure.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <new>
#include <unistd.h>
#include <vector>

namespace vistrel {
namespace {

using namespace loadfailure;

// Rows are read this many bytes at a time (at least one row).
constexpr qint64 chunkBytes = 1 << 20;

quint32 u32(const unsigned char *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

qint32 i32(const unsigned char *p)
{
    return qint32(u32(p));
}

quint16 u16(const unsigned char *p)
{
    return quint16(p[0] | p[1] << 8);
}

// How one source pixel (or row) of `from` spreads over `to` outputs covering the same length:
// over output `first` and, when it straddles a border, the next one. Weights are shares of an
// output's extent, so the weights an output receives add up to one.
struct Span
{
    qint64 first = 0;
    float near = 0;
    float far = 0;
};

Span spanOf(qint64 index, qint64 from, qint64 to)
{
    // In units of 1/(from*to): source `index` covers [index*to, (index+1)*to), output `o`
    // covers [o*from, (o+1)*from).
    Span s;
    const qint64 start = index * to;
    const qint64 end = start + to;
    s.first = start / from;
    const qint64 border = (s.first + 1) * from;
    const qint64 inFirst = std::min(end, border) - start;
    s.near = float(double(inFirst) / double(from));
    s.far = end > border ? float(double(end - border) / double(from)) : 0.0f;
    return s;
}

// In a picture of more than samplingFromPixels, when more than samplesPerOutput source rows (or
// columns) fall into one output row (or column), only that many, spread evenly through it, are
// averaged: a picture of billions of pixels reduced to the screen then costs a fraction of a
// second, not many. Smaller pictures are averaged over every pixel.
constexpr qint64 samplesPerOutput = 8;
constexpr qint64 samplingFromPixels = 64LL << 20;

// Where a source column's bytes lie in a row and which output columns they go to.
struct Tap
{
    qint64 offset = 0;
    Span span;
};

// Where the rows go: straight into the picture at full size, or averaged into a reduced one.
class RowSink
{
public:
    RowSink(const BmpLayout &layout, QImage &image)
        : m_layout(layout), m_image(image), m_width(layout.size.width()),
          m_height(layout.size.height()), m_outWidth(image.width()), m_outHeight(image.height())
    {}

    bool reduces() const { return m_outWidth != m_width || m_outHeight != m_height; }

    // Memory the sink holds besides the picture.
    static qint64 extraBytes(const QSize &full, const QSize &out)
    {
        if (full == out)
            return 0;
        const qint64 taps = std::min<qint64>(full.width(), out.width() * samplesPerOutput);
        return taps * qint64(sizeof(Tap)) + qint64(out.width()) * 3 * 3 * qint64(sizeof(float));
    }

    void prepare()
    {
        m_image.fill(Qt::black); // rows the file leaves out or holds as holes stay black
        if (!reduces())
            return;
        const int step = m_layout.bytesPerPixel;
        if (samples(m_width, m_outWidth)) {
            m_columns.reserve(std::size_t(m_outWidth * samplesPerOutput));
            for (qint64 o = 0; o < m_outWidth; ++o)
                for (qint64 k = 0; k < samplesPerOutput; ++k)
                    m_columns.push_back({sampleAt(o, k, m_width, m_outWidth) * step,
                                         {o, 1.0f / samplesPerOutput, 0.0f}});
        } else {
            m_columns.resize(std::size_t(m_width));
            for (qint64 x = 0; x < m_width; ++x)
                m_columns[std::size_t(x)] = {x * step, spanOf(x, m_width, m_outWidth)};
        }
        m_row.assign(std::size_t(m_outWidth) * 3, 0.0f);
        m_sums.assign(std::size_t(m_outWidth) * 3 * 2, 0.0f);
    }

    // Whether only a few rows of each output row are read (see sampleRow).
    bool samplesRows() const { return reduces() && samples(m_height, m_outHeight); }
    // The file row of sample `k` of output row `o` (counted in file order).
    qint64 sampleRow(qint64 o, qint64 k) const { return sampleAt(o, k, m_height, m_outHeight); }

    // The row stored `fileRow`-th in the file, given in file order; rows may be left out.
    void add(qint64 fileRow, const unsigned char *data)
    {
        if (!reduces()) {
            auto *out = reinterpret_cast<QRgb *>(m_image.scanLine(int(pictureRow(fileRow))));
            const int step = m_layout.bytesPerPixel;
            for (qint64 x = 0; x < m_width; ++x, data += step)
                out[x] = qRgb(data[2], data[1], data[0]);
            return;
        }
        addReduced(spanOf(fileRow, m_height, m_outHeight), data);
    }

    // Sample `k` of output row `o`, when samplesRows().
    void addSample(qint64 o, const unsigned char *data)
    {
        addReduced({o, 1.0f / samplesPerOutput, 0.0f}, data);
    }

    // Writes out what the rows given so far cover.
    void finish()
    {
        if (reduces() && m_given)
            flush();
    }

private:
    bool samples(qint64 from, qint64 to) const
    {
        return m_width * m_height > samplingFromPixels && from > samplesPerOutput * to;
    }

    // The source index at the middle of the k-th of `samplesPerOutput` equal parts of output `o`.
    static qint64 sampleAt(qint64 o, qint64 k, qint64 from, qint64 to)
    {
        return ((2 * (o * samplesPerOutput + k) + 1) * from) / (2 * to * samplesPerOutput);
    }

    void addReduced(const Span &rowSpan, const unsigned char *data)
    {
        m_given = true;
        std::fill(m_row.begin(), m_row.end(), 0.0f);
        float *row = m_row.data();
        for (const Tap &t : m_columns) {
            const unsigned char *pixel = data + t.offset;
            float *near = row + t.span.first * 3;
            near[0] += t.span.near * pixel[0];
            near[1] += t.span.near * pixel[1];
            near[2] += t.span.near * pixel[2];
            if (t.span.far > 0) {
                near[3] += t.span.far * pixel[0];
                near[4] += t.span.far * pixel[1];
                near[5] += t.span.far * pixel[2];
            }
        }
        while (m_current < rowSpan.first)
            flush();
        float *sums = m_sums.data();
        float *next = sums + m_row.size();
        for (std::size_t i = 0; i < m_row.size(); ++i) {
            sums[i] += rowSpan.near * row[i];
            next[i] += rowSpan.far * row[i];
        }
    }

    qint64 pictureRow(qint64 fileRow) const
    {
        return m_layout.topDown ? fileRow : m_height - 1 - fileRow;
    }

    void flush()
    {
        const qint64 y = m_layout.topDown ? m_current : m_outHeight - 1 - m_current;
        auto *out = reinterpret_cast<QRgb *>(m_image.scanLine(int(y)));
        const float *sums = m_sums.data();
        const auto channel = [](float v) { return std::clamp(int(v + 0.5f), 0, 255); };
        for (qint64 x = 0; x < m_outWidth; ++x, sums += 3)
            out[x] = qRgb(channel(sums[2]), channel(sums[1]), channel(sums[0]));
        const auto half = std::ptrdiff_t(m_row.size());
        std::copy(m_sums.begin() + half, m_sums.end(), m_sums.begin());
        std::fill(m_sums.begin() + half, m_sums.end(), 0.0f);
        ++m_current;
    }

    const BmpLayout &m_layout;
    QImage &m_image;
    const qint64 m_width;
    const qint64 m_height;
    const qint64 m_outWidth;
    const qint64 m_outHeight;
    std::vector<Tap> m_columns;
    std::vector<float> m_row;  // the current row reduced across, blue, green, red
    std::vector<float> m_sums; // output row m_current, then the next one
    qint64 m_current = 0;
    bool m_given = false;
};

// The offset of the first byte at or after `at` that the file stores: a sparse file's holes read
// as zeros, which are black rows, and skipping them spares reading gigabytes of nothing.
// `at` itself where the file system cannot tell; `end` when only holes follow.
qint64 nextStoredByte(int fd, qint64 at, qint64 end)
{
    const off_t data = ::lseek(fd, off_t(at), SEEK_DATA);
    if (data >= 0)
        return std::min<qint64>(qint64(data), end);
    return errno == ENXIO ? end : at;
}

// Feeds the sink every row, in chunks, passing over rows that lie wholly in holes. Returns the
// rows covered, fewer than all when the file shrank; -1 with errno set on a read error.
qint64 feedAllRows(int fd, const BmpLayout &layout, RowSink &sink, unsigned char *buffer,
                   qint64 rowsPerChunk, const std::atomic<bool> *cancel, bool &cancelledNow)
{
    const qint64 rows = layout.size.height();
    const qint64 end = layout.dataOffset + rows * layout.stride;
    qint64 row = 0;
    while (row < rows) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            cancelledNow = true;
            return row;
        }
        const qint64 at = layout.dataOffset + row * layout.stride;
        const qint64 holeRows =
            std::min(rows - row, (nextStoredByte(fd, at, end) - at) / layout.stride);
        if (holeRows > 0) {
            row += holeRows;
            continue;
        }
        const qint64 want = std::min(rowsPerChunk, rows - row) * layout.stride;
        const qint64 got = readAt(fd, buffer, want, at);
        if (got < 0)
            return -1;
        for (qint64 i = 0; i < got / layout.stride; ++i, ++row)
            sink.add(row, buffer + i * layout.stride);
        if (got < want) // the file shrank since its size was looked at
            return row;
    }
    return rows;
}

// Feeds the sink the few sample rows of each output row (RowSink::samplesRows).
qint64 feedSampleRows(int fd, const BmpLayout &layout, const QSize &out, RowSink &sink,
                      unsigned char *buffer, const std::atomic<bool> *cancel, bool &cancelledNow)
{
    const qint64 rows = layout.size.height();
    const qint64 end = layout.dataOffset + rows * layout.stride;
    for (qint64 o = 0; o < out.height(); ++o) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            cancelledNow = true;
            return 0;
        }
        for (qint64 k = 0; k < samplesPerOutput; ++k) {
            const qint64 row = sink.sampleRow(o, k);
            const qint64 at = layout.dataOffset + row * layout.stride;
            if (nextStoredByte(fd, at, end) >= at + layout.stride)
                continue; // a hole: black, adds nothing
            const qint64 got = readAt(fd, buffer, layout.stride, at);
            if (got < 0)
                return -1;
            if (got < layout.stride)
                return row;
            sink.addSample(o, buffer);
        }
    }
    return rows;
}

} // namespace

BmpLayout readBmpLayout(const unsigned char *head, qint64 length, qint64 fileBytes)
{
    BmpLayout layout;
    if (length < 14 + 40 || head[0] != 'B' || head[1] != 'M')
        return layout;
    const quint32 infoSize = u32(head + 14);
    if ((infoSize != 40 && infoSize != 108 && infoSize != 124) || length < 14 + qint64(infoSize))
        return layout;
    const qint32 width = i32(head + 18);
    const qint32 height = i32(head + 22);
    const int bits = u16(head + 28);
    const quint32 compression = u32(head + 30);
    if (width <= 0 || height == 0 || height == INT_MIN || u16(head + 26) != 1)
        return layout;
    if (bits != 24 && bits != 32)
        return layout;
    qint64 headerEnd = 14 + qint64(infoSize);
    if (compression == 3) { // colour masks: only the usual order, without alpha
        if (bits != 32)
            return layout;
        if (infoSize == 40)
            headerEnd += 12;
        if (length < 66 || u32(head + 54) != 0xFF0000 || u32(head + 58) != 0xFF00 ||
            u32(head + 62) != 0xFF)
            return layout;
    } else if (compression != 0) {
        return layout;
    }
    if (infoSize >= 108 && u32(head + 66) != 0) // an alpha mask: left to Qt's reader
        return layout;

    const qint64 dataOffset = u32(head + 10);
    const qint64 stride = (qint64(width) * bits + 31) / 32 * 4;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (dataOffset < headerEnd || dataOffset > fileBytes ||
        rows > (fileBytes - dataOffset) / stride)
        return layout;
    layout.valid = true;
    layout.size = QSize(width, int(rows));
    layout.topDown = height < 0;
    layout.bytesPerPixel = bits / 8;
    layout.dataOffset = dataOffset;
    layout.stride = stride;
    return layout;
}

LoadedPicture decodeBmp(int fd, const BmpLayout &layout, const QSize &atLeast,
                        const LoadLimits &limits)
{
    const bool reduce = atLeast.width() > 0 && atLeast.height() > 0;
    const QSize out = reduce ? layout.size.boundedTo(atLeast) : layout.size;
    const qint64 rowsPerChunk = std::max<qint64>(1, chunkBytes / layout.stride);
    const qint64 bufferBytes = rowsPerChunk * layout.stride;
    const qint64 needed = qint64(out.width()) * out.height() * 4 + bufferBytes +
                          RowSink::extraBytes(layout.size, out);
    if (needed > limits.memoryBytes)
        return tooLarge(needed, limits.memoryBytes);

    QImage image(out, QImage::Format_RGB32);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bufferBytes]);
    if (image.isNull() || !buffer)
        return noMemoryLeft();
    RowSink sink(layout, image);
    sink.prepare();

    bool cancelledNow = false;
    const qint64 rows = sink.samplesRows() ? feedSampleRows(fd, layout, out, sink, buffer.get(),
                                                            limits.cancel, cancelledNow)
                                           : feedAllRows(fd, layout, sink, buffer.get(),
                                                         rowsPerChunk, limits.cancel, cancelledNow);
    if (cancelledNow)
        return cancelled();
    if (rows < 0)
        return fromErrno(errno);
    if (rows == 0)
        return failure(LoadedPicture::Unreadable, QStringLiteral("the file holds no rows"));
    sink.finish();

    LoadedPicture p;
    p.fullSize = layout.size;
    p.incomplete = rows < layout.size.height();
    p.image = std::move(image);
    return p;
}

} // namespace vistrel
