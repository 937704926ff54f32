#include "viewer/bmpdecoder.h"

#include "viewer/fileread.h"
#include "viewer/loadfailure.h"
#include "viewer/rowreducer.h"

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

// A mask's lowest set bit and its number of bits; false when it is empty or not contiguous.
bool maskShape(quint32 mask, int *shift, int *width)
{
    if (mask == 0)
        return false;
    *shift = 0;
    while (!(mask >> *shift & 1))
        ++*shift;
    const quint64 run = quint64(mask) >> *shift;
    *width = 0;
    while (run >> *width & 1)
        ++*width;
    return (run >> *width) == 0;
}

// One channel of stored pixels: where its bits lie, scaled to 8 bits.
struct Channel
{
    explicit Channel(quint32 m) : mask(m) { maskShape(m, &shift, &width); }
    unsigned char operator()(quint32 pixel) const
    {
        const quint32 v = (pixel & mask) >> shift;
        if (width >= 8)
            return static_cast<unsigned char>(v >> (width - 8));
        const quint32 top = (1u << width) - 1;
        return static_cast<unsigned char>((v * 255 + top / 2) / top);
    }
    quint32 mask;
    int shift = 0;
    int width = 1;
};

// Turns stored pixels into blue, green and red bytes: `each(f)` calls f(x, out) for every
// column x wanted and where its three bytes go.
template<typename Each>
void convertPixels(const BmpLayout &layout, const unsigned char *row, const Each &each)
{
    if (layout.bits <= 8) {
        const int bits = layout.bits;
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        each([&](qint64 x, unsigned char *out) {
            const int shift = 8 - bits * int(x % perByte + 1);
            const QRgb c = layout.palette[(row[x / perByte] >> shift) & mask];
            out[0] = static_cast<unsigned char>(qBlue(c));
            out[1] = static_cast<unsigned char>(qGreen(c));
            out[2] = static_cast<unsigned char>(qRed(c));
        });
    } else if (layout.masked) {
        const int bytes = layout.bits / 8;
        const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
        each([&](qint64 x, unsigned char *out) {
            const unsigned char *p = row + x * bytes;
            const quint32 v = bytes == 2 ? u16(p) : u32(p);
            out[0] = blue(v);
            out[1] = green(v);
            out[2] = red(v);
        });
    } else {
        const int bytes = layout.bits / 8;
        each([&](qint64 x, unsigned char *out) { std::copy_n(row + x * bytes, 3, out); });
    }
}

} // namespace

void bmpPixels(const BmpLayout &layout, const unsigned char *row, qint64 first, qint64 count,
               unsigned char *out)
{
    convertPixels(layout, row, [&](const auto &f) {
        for (qint64 i = 0; i < count; ++i)
            f(first + i, out + 3 * i);
    });
}

namespace {

// Where the rows go: the reducer, given whole bytes of blue, green and red; a row stored
// otherwise is turned into them first.
class RowSink
{
public:
    RowSink(const BmpLayout &layout, QImage &image)
        : m_layout(layout),
          m_reducer(layout.size, layout.plain() ? layout.bits / 8 : 3, !layout.topDown, image)
    {
        if (!layout.plain())
            m_expanded.resize(std::size_t(layout.size.width()) * 3);
    }

    static qint64 extraBytes(const BmpLayout &layout, const QSize &out)
    {
        return RowReducer::extraBytes(layout.size, out) +
               (layout.plain() ? 0 : qint64(layout.size.width()) * 3);
    }

    void prepare()
    {
        m_reducer.prepare();
        m_columns = m_reducer.sampledColumns();
    }
    bool samplesRows() const { return m_reducer.samplesRows(); }
    qint64 sampleRow(qint64 o, qint64 k) const { return m_reducer.sampleRow(o, k); }
    void add(qint64 fileRow, const unsigned char *data) { m_reducer.add(fileRow, bytes(data)); }
    void addSample(qint64 o, const unsigned char *data) { m_reducer.addSample(o, bytes(data)); }
    void finish() { m_reducer.finish(); }

private:
    const unsigned char *bytes(const unsigned char *data)
    {
        if (m_layout.plain())
            return data;
        unsigned char *out = m_expanded.data();
        if (m_columns.empty())
            bmpPixels(m_layout, data, 0, m_layout.size.width(), out);
        else // only the columns the reducer looks at
            convertPixels(m_layout, data, [&](const auto &f) {
                for (qint64 x : m_columns)
                    f(x, out + 3 * x);
            });
        return out;
    }

    const BmpLayout &m_layout;
    RowReducer m_reducer;
    std::vector<unsigned char> m_expanded;
    std::vector<qint64> m_columns;
};

// The offset of the first byte at or after `at` that the file stores: a sparse file's holes read
// as zeros, which are black rows, and skipping them spares reading gigabytes of nothing.
// `at` itself where the file system cannot tell; `end` when only holes follow.
qint64 nextStoredByte(int fd, const BmpLayout &layout, qint64 at, qint64 end)
{
    if (layout.bits <= 8 && layout.palette[0] != qRgb(0, 0, 0))
        return at; // zeros are the palette's first colour, not black

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
            std::min(rows - row, (nextStoredByte(fd, layout, at, end) - at) / layout.stride);
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
        for (qint64 k = 0; k < RowReducer::samplesPerOutput; ++k) {
            const qint64 row = sink.sampleRow(o, k);
            const qint64 at = layout.dataOffset + row * layout.stride;
            if (nextStoredByte(fd, layout, at, end) >= at + layout.stride)
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
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return layout;
    qint64 headerEnd = 14 + qint64(infoSize);
    if (compression == 3) { // colour masks, of 16 or 32 bits
        if (bits != 16 && bits != 32)
            return layout;
        if (infoSize == 40)
            headerEnd += 12;
        if (length < 66)
            return layout;
        layout.masks = {u32(head + 54), u32(head + 58), u32(head + 62)};
        int shift = 0, w = 0;
        for (quint32 m : layout.masks)
            if (!maskShape(m, &shift, &w))
                return layout;
        if ((layout.masks[0] & layout.masks[1]) || (layout.masks[0] & layout.masks[2]) ||
            (layout.masks[1] & layout.masks[2]))
            return layout;
        layout.masked =
            bits == 16 || layout.masks != std::array<quint32, 3>{0xFF0000, 0xFF00, 0xFF};
    } else if (compression != 0) {
        return layout;
    } else if (bits == 16) {
        layout.masked = true;
        layout.masks = {0x7C00, 0x3E0, 0x1F};
    }
    if (infoSize >= 108 && u32(head + 66) != 0) // an alpha mask: left to Qt's reader
        return layout;
    if (bits <= 8) {
        const quint32 used = u32(head + 46);
        const qint64 entries = used == 0 ? (qint64(1) << bits) : qMin<qint64>(used, 1 << bits);
        if (length < headerEnd + entries * 4)
            return layout;
        for (qint64 e = 0; e < entries; ++e) {
            const unsigned char *c = head + headerEnd + 4 * e;
            layout.palette[std::size_t(e)] = qRgb(c[2], c[1], c[0]);
        }
        headerEnd += entries * 4;
    }

    const qint64 dataOffset = u32(head + 10);
    const qint64 stride = (qint64(width) * bits + 31) / 32 * 4;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (dataOffset < headerEnd || dataOffset > fileBytes ||
        rows > (fileBytes - dataOffset) / stride)
        return layout;
    layout.valid = true;
    layout.size = QSize(width, int(rows));
    layout.topDown = height < 0;
    layout.bits = bits;
    layout.dataOffset = dataOffset;
    layout.stride = stride;
    return layout;
}

QSize bmpStatedSize(const unsigned char *head, qint64 length, qint64 fileBytes)
{
    // The old 12-byte header of 16-bit sides is left to Qt's reader, which takes any of them.
    if (length < 14 + 40 || head[0] != 'B' || head[1] != 'M' || u32(head + 14) < 40)
        return {};
    const qint64 width = i32(head + 18);
    const qint64 height = qAbs(qint64(i32(head + 22)));
    const quint32 compression = u32(head + 30);
    if (width <= 0 || height == 0 || height > INT_MAX)
        return {};
    const qint64 stride = (width * u16(head + 28) + 31) / 32 * 4;
    if ((compression == 0 || compression == 3) && stride > fileBytes)
        return {};
    return QSize(int(width), int(height));
}

LoadedPicture decodeBmp(int fd, const BmpLayout &layout, const QSize &atLeast,
                        const LoadLimits &limits)
{
    const bool reduce = atLeast.width() > 0 && atLeast.height() > 0;
    const QSize out = reduce ? layout.size.boundedTo(atLeast) : layout.size;
    // The rows read at a time take what the limit leaves, up to a megabyte.
    const qint64 fixed = qint64(out.width()) * out.height() * 4 + RowSink::extraBytes(layout, out);
    const qint64 rowsPerChunk = std::clamp<qint64>(
        std::min(chunkBytes, limits.memoryBytes - fixed) / layout.stride, 1, layout.size.height());
    const qint64 bufferBytes = rowsPerChunk * layout.stride;
    const qint64 needed = fixed + bufferBytes;
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
