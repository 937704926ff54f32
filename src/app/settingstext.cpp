#include "app/settings.h"

#include "common/rounding.h"
#include "slideshow/slideinterval.h"

#include <QLocale>

#include <cmath>

namespace vistrel {
namespace {

// A number as text: C locale first, then the user's (whose decimal separator may be a comma).
bool parseNumber(const QString &text, double *value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    double v = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        v = QLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

namespace settingstext {

int toInt16(const QString &text, int fallback)
{
    double v = 0;
    if (!parseNumber(text, &v))
        return fallback;
    v = roundHalfEven(v);
    if (v < -32768 || v > 32767)
        return fallback;
    return int(v);
}

int toSlideInterval(const QString &text, int fallback)
{
    const int seconds = toInt16(text, fallback);
    return seconds >= 0 && seconds <= maxSlideInterval ? seconds : fallback;
}

double toTwips(const QString &text, double fallback)
{
    double v = 0;
    constexpr double limit = 2147483648.0; // 2^31
    if (!parseNumber(text, &v))
        return fallback;
    // Kept in single precision; the range is checked before and after rounding to it, so that a
    // value written back is read back the same.
    const double kept = double(float(v));
    if (v < -limit || v >= limit || kept < -limit || kept >= limit)
        return fallback;
    return kept;
}

int toButtonState(const QString &text, int fallback)
{
    const QString trimmed = text.trimmed();
    if (trimmed == QLatin1String("0"))
        return 0;
    if (trimmed == QLatin1String("1"))
        return 1;
    return fallback;
}

QString fromNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace settingstext

} // namespace vistrel
