#include "viewer/rowreducer.h"

#include <algorithm>

namespace vistrel {
namespace {

// In a picture of more than this, when more than samplesPerOutput source rows (or columns) fall
// into one output row (or column), only that many, spread evenly through it, are averaged: a
// picture of billions of pixels reduced to the screen then costs a fraction of a second, not
// many. Smaller pictures are averaged over every pixel.
constexpr qint64 samplingFromPixels = 64LL << 20;

} // namespace

RowReducer::RowReducer(const QSize &from, int step, bool bottomUp, QImage &out)
    : m_image(out), m_width(from.width()), m_height(from.height()), m_outWidth(out.width()),
      m_outHeight(out.height()), m_step(step), m_bottomUp(bottomUp)
{}

qint64 RowReducer::extraBytes(const QSize &full, const QSize &out)
{
    if (full == out)
        return 0;
    const qint64 taps = std::min<qint64>(full.width(), out.width() * samplesPerOutput);
    return taps * qint64(sizeof(Tap)) + qint64(out.width()) * 3 * 3 * qint64(sizeof(float));
}

RowReducer::Span RowReducer::spanOf(qint64 index, qint64 from, qint64 to)
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

qint64 RowReducer::sampleAt(qint64 o, qint64 k, qint64 from, qint64 to)
{
    // The source index at the middle of the k-th of samplesPerOutput equal parts of output `o`.
    return ((2 * (o * samplesPerOutput + k) + 1) * from) / (2 * to * samplesPerOutput);
}

bool RowReducer::samples(qint64 from, qint64 to) const
{
    return m_width * m_height > samplingFromPixels && from > samplesPerOutput * to;
}

void RowReducer::prepare()
{
    m_image.fill(Qt::black);
    if (!reduces())
        return;
    if (samples(m_width, m_outWidth)) {
        m_columns.reserve(std::size_t(m_outWidth * samplesPerOutput));
        for (qint64 o = 0; o < m_outWidth; ++o)
            for (qint64 k = 0; k < samplesPerOutput; ++k)
                m_columns.push_back({sampleAt(o, k, m_width, m_outWidth) * m_step,
                                     {o, 1.0f / samplesPerOutput, 0.0f}});
    } else {
        m_columns.resize(std::size_t(m_width));
        for (qint64 x = 0; x < m_width; ++x)
            m_columns[std::size_t(x)] = {x * m_step, spanOf(x, m_width, m_outWidth)};
    }
    m_row.assign(std::size_t(m_outWidth) * 3, 0.0f);
    m_sums.assign(std::size_t(m_outWidth) * 3 * 2, 0.0f);
}

std::vector<qint64> RowReducer::sampledColumns() const
{
    std::vector<qint64> columns;
    if (reduces() && samples(m_width, m_outWidth))
        for (const Tap &t : m_columns)
            columns.push_back(t.offset / m_step);
    return columns;
}

bool RowReducer::samplesRows() const
{
    return reduces() && samples(m_height, m_outHeight);
}

qint64 RowReducer::sampleRow(qint64 o, qint64 k) const
{
    return sampleAt(o, k, m_height, m_outHeight);
}

void RowReducer::add(qint64 row, const unsigned char *data)
{
    if (!reduces()) {
        const qint64 y = m_bottomUp ? m_height - 1 - row : row;
        auto *out = reinterpret_cast<QRgb *>(m_image.scanLine(int(y)));
        for (qint64 x = 0; x < m_width; ++x, data += m_step)
            out[x] = qRgb(data[2], data[1], data[0]);
        return;
    }
    addReduced(spanOf(row, m_height, m_outHeight), data);
}

void RowReducer::addSample(qint64 o, const unsigned char *data)
{
    addReduced({o, 1.0f / samplesPerOutput, 0.0f}, data);
}

void RowReducer::finish()
{
    if (reduces() && m_given)
        flush();
}

void RowReducer::addReduced(const Span &rowSpan, const unsigned char *data)
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

void RowReducer::flush()
{
    const qint64 y = m_bottomUp ? m_outHeight - 1 - m_current : m_current;
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

} // namespace vistrel
