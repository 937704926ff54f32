#include "viewer/bmpdecoder.h"

#include "viewer/fileread.h"
#include "viewer/loadfailure.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <new>
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
        return qint64(full.width()) * qint64(sizeof(Span)) +
               qint64(out.width()) * 3 * 3 * qint64(sizeof(float));
    }

    void prepare()
    {
        if (!reduces())
            return;
        m_columns.resize(std::size_t(m_width));
        for (qint64 x = 0; x < m_width; ++x)
            m_columns[std::size_t(x)] = spanOf(x, m_width, m_outWidth);
        m_row.assign(std::size_t(m_outWidth) * 3, 0.0f);
        m_sums.assign(std::size_t(m_outWidth) * 3 * 2, 0.0f);
        m_image.fill(Qt::black);
    }

    // The row stored `fileRow`-th in the file.
    void add(qint64 fileRow, const unsigned char *data)
    {
        if (!reduces()) {
            auto *out = reinterpret_cast<QRgb *>(m_image.scanLine(int(pictureRow(fileRow))));
            const int step = m_layout.bytesPerPixel;
            for (qint64 x = 0; x < m_width; ++x, data += step)
                out[x] = qRgb(data[2], data[1], data[0]);
            return;
        }
        std::fill(m_row.begin(), m_row.end(), 0.0f);
        float *row = m_row.data();
        const int step = m_layout.bytesPerPixel;
        for (const Span &s : m_columns) {
            float *near = row + s.first * 3;
            near[0] += s.near * data[0];
            near[1] += s.near * data[1];
            near[2] += s.near * data[2];
            if (s.far > 0) {
                near[3] += s.far * data[0];
                near[4] += s.far * data[1];
                near[5] += s.far * data[2];
            }
            data += step;
        }
        const Span s = spanOf(fileRow, m_height, m_outHeight);
        while (m_current < s.first)
            flush();
        float *sums = m_sums.data();
        float *next = sums + m_row.size();
        for (std::size_t i = 0; i < m_row.size(); ++i) {
            sums[i] += s.near * row[i];
            next[i] += s.far * row[i];
        }
    }

    // Writes out what the rows given so far cover; rows never given stay black.
    void finish(qint64 rowsGiven)
    {
        if (!reduces()) {
            for (qint64 r = rowsGiven; r < m_height; ++r)
                std::fill_n(reinterpret_cast<QRgb *>(m_image.scanLine(int(pictureRow(r)))), m_width,
                            qRgb(0, 0, 0));
            return;
        }
        if (rowsGiven > 0)
            flush();
    }

private:
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
    std::vector<Span> m_columns;
    std::vector<float> m_row;  // the current row reduced across, blue, green, red
    std::vector<float> m_sums; // output row m_current, then the next one
    qint64 m_current = 0;
};

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

    const qint64 rows = layout.size.height();
    qint64 row = 0;
    bool ended = false;
    while (row < rows && !ended) {
        if (limits.cancel && limits.cancel->load(std::memory_order_relaxed))
            return cancelled();
        const qint64 want = std::min(rowsPerChunk, rows - row) * layout.stride;
        const qint64 got = readAt(fd, buffer.get(), want, layout.dataOffset + row * layout.stride);
        if (got < 0)
            return fromErrno(errno);
        ended = got < want; // the file shrank since its size was looked at
        for (qint64 i = 0; i < got / layout.stride; ++i, ++row)
            sink.add(row, buffer.get() + i * layout.stride);
    }
    if (row == 0)
        return failure(LoadedPicture::Unreadable, QStringLiteral("the file holds no rows"));
    sink.finish(row);

    LoadedPicture p;
    p.fullSize = layout.size;
    p.incomplete = row < rows;
    p.image = std::move(image);
    return p;
}

} // namespace vistrel
