#include "viewer/picturegeometry.h"

#include <cmath>

namespace vistrel {

qint64 roundHalfEvenToInt(double value)
{
    return qint64(std::nearbyint(value)); // the default rounding mode is to nearest, ties to even
}

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
        p.horizontalMax = int(roundHalfEvenToInt(double(-dw)));
    }
    if (picture.height() > area.height()) {
        p.verticalBar = true;
        p.verticalMax = int(roundHalfEvenToInt(double(-dh)));
    }
    return p;
}

} // namespace vistrel
