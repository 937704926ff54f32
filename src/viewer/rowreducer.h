#pragma once

#include <QImage>
#include <QSize>
#include <QtGlobal>

#include <vector>

namespace vistrel {

// Area-averages rows of pixels, given one at a time in the order they are stored, into a picture
// of the size it was made for (full size: copied straight in). A row's pixels are `step` bytes
// apart, blue, green and red first. Holds a few rows of sums beside the picture, whatever the
// picture's size.
class RowReducer
{
public:
    // `out` is already of the size wanted; `bottomUp`: the first row given is the picture's last.
    RowReducer(const QSize &from, int step, bool bottomUp, QImage &out);

    bool reduces() const { return m_outWidth != m_width || m_outHeight != m_height; }
    // Memory the reducer holds besides the picture.
    static qint64 extraBytes(const QSize &full, const QSize &out);

    // Blackens the picture (rows never given stay black) and makes the column table.
    void prepare();

    // The columns looked at when only a few of each output column are (empty: all of them).
    std::vector<qint64> sampledColumns() const;
    // Whether only a few rows of each output row are taken (see sampleRow).
    bool samplesRows() const;
    // The k-th of samplesPerOutput rows (counted as given) that stand for output row `o`.
    qint64 sampleRow(qint64 o, qint64 k) const;
    static constexpr qint64 samplesPerOutput = 8;

    // The row given `row`-th; rows may be left out.
    void add(qint64 row, const unsigned char *data);
    // Sample `k` of output row `o`, when samplesRows().
    void addSample(qint64 o, const unsigned char *data);
    // Writes out what the rows given so far cover.
    void finish();

private:
    // How one source pixel (or row) spreads over the outputs: over `first` and, when it
    // straddles a border, the next one; the weights an output receives add up to one.
    struct Span
    {
        qint64 first = 0;
        float near = 0;
        float far = 0;
    };
    struct Tap
    {
        qint64 offset = 0;
        Span span;
    };
    static Span spanOf(qint64 index, qint64 from, qint64 to);
    static qint64 sampleAt(qint64 o, qint64 k, qint64 from, qint64 to);
    bool samples(qint64 from, qint64 to) const;
    void addReduced(const Span &rowSpan, const unsigned char *data);
    void flush();

    QImage &m_image;
    const qint64 m_width;
    const qint64 m_height;
    const qint64 m_outWidth;
    const qint64 m_outHeight;
    const int m_step;
    const bool m_bottomUp;
    std::vector<Tap> m_columns;
    std::vector<float> m_row;  // the current row reduced across, blue, green, red
    std::vector<float> m_sums; // output row m_current, then the next one
    qint64 m_current = 0;
    bool m_given = false;
};

} // namespace vistrel
