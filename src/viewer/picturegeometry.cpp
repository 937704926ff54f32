#include "viewer/picturegeometry.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

qint64 pixelsToHimetric(qint64 pixels)
{
    // Exact in integers: compare twice the remainder with the divisor to find halves.
    const qint64 numerator = pixels * 2540;
    qint64 quotient = numerator / 96;
    const qint64 twiceRemainder = 2 * (numerator % 96);
    if (twiceRemainder > 96 || (twiceRemainder == 96 && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

QString sizeText(int shownHeight, int shownWidth, qint64 ownHeightHimetric, qint64 ownWidthHimetric)
{
    const QString blanks = QStringLiteral("   ");
    return QString::number(shownHeight) + QLatin1Char('x') + QString::number(shownWidth) + blanks +
           QString::number(ownHeightHimetric) + QLatin1Char('x') +
           QString::number(ownWidthHimetric) + blanks;
}

ActualPlacement placeActualSize(const QSize &picture, const QSize &area)
{
    ActualPlacement p;
    // Differences in single precision, as the positions are carried.
    const float dw = float(area.width()) - float(picture.width());
    const float dh = float(area.height()) - float(picture.height());
    if (picture.width() < area.width()) {
        p.left = double(dw / 2.0f);
        p.horizontalBar = p.verticalBar = false;
    }
    if (picture.height() < area.height()) {
        p.top = double(dh / 2.0f);
        p.horizontalBar = p.verticalBar = false;
    }
    if (picture.width() > area.width()) {
        p.horizontalBar = true;
        p.horizontalMax = int(vistrel::roundHalfEven(double(-dw)));
    }
    if (picture.height() > area.height()) {
        p.verticalBar = true;
        p.verticalMax = int(vistrel::roundHalfEven(double(-dh)));
    }
    return p;
}

QList<QRect> tilesFor(const QRect &visible, const QSize &picture, int tile, int margin)
{
    QList<QRect> tiles;
    const QRect whole(QPoint(0, 0), picture);
    const QRect shown = visible & whole;
    if (shown.isEmpty() || tile <= 0)
        return tiles;
    const int columns = (picture.width() + tile - 1) / tile;
    const int rows = (picture.height() + tile - 1) / tile;
    const int left = shown.left() / tile, right = shown.right() / tile;
    const int top = shown.top() / tile, bottom = shown.bottom() / tile;
    for (int ring = 0; ring <= margin; ++ring)
        for (int y = qMax(0, top - ring); y <= qMin(rows - 1, bottom + ring); ++y)
            for (int x = qMax(0, left - ring); x <= qMin(columns - 1, right + ring); ++x) {
                const bool inner = x >= left - ring + 1 && x <= right + ring - 1 &&
                                   y >= top - ring + 1 && y <= bottom + ring - 1;
                if (ring == 0 || !inner)
                    tiles << (QRect(x * tile, y * tile, tile, tile) & whole);
            }
    return tiles;
}

QList<QRect> tileBlocks(const QList<QRect> &tiles)
{
    QList<QRect> sorted = tiles;
    std::sort(sorted.begin(), sorted.end(), [](const QRect &a, const QRect &b) {
        return a.top() != b.top() ? a.top() < b.top() : a.left() < b.left();
    });
    QList<QRect> runs;
    for (const QRect &t : std::as_const(sorted)) {
        if (!runs.isEmpty() && runs.last().top() == t.top() && runs.last().right() + 1 == t.left())
            runs.last() |= t;
        else
            runs << t;
    }
    QList<QRect> blocks;
    for (const QRect &run : std::as_const(runs)) {
        const auto above = std::find_if(blocks.begin(), blocks.end(), [&](const QRect &b) {
            return b.bottom() + 1 == run.top() && b.left() == run.left() &&
                   b.right() == run.right();
        });
        if (above != blocks.end())
            *above |= run;
        else
            blocks << run;
    }
    // In the order of the tiles asked for: the first of each block decides.
    const auto firstOf = [&](const QRect &block) {
        for (int i = 0; i < tiles.size(); ++i)
            if (block.contains(tiles[i]))
                return i;
        return int(tiles.size());
    };
    std::stable_sort(blocks.begin(), blocks.end(),
                     [&](const QRect &a, const QRect &b) { return firstOf(a) < firstOf(b); });
    return blocks;
}

QSize overviewSize(const QSize &picture, qint64 maxPixels)
{
    double w = (picture.width() + 7) / 8, h = (picture.height() + 7) / 8;
    if (w * h > double(maxPixels)) {
        const double k = std::sqrt(double(maxPixels) / (w * h));
        w *= k;
        h *= k;
    }
    return QSize(qMax(1, int(std::ceil(w))), qMax(1, int(std::ceil(h))));
}

} // namespace vistrel
