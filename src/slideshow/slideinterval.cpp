#include "slideshow/slideinterval.h"

#include <QByteArray>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace vistrel {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isValBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// strtod with the "C" locale, whatever the process's LC_NUMERIC says: the decimal mark of an
// interval entry is always ".".
double parseCanonical(const QByteArray &ascii)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(ascii.constData(), nullptr, cLocale);
}

} // namespace

double basicVal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isValBlank(text[i]))
        ++i;

    // Gather the longest prefix that is a number into a canonical ASCII form for strtod.
    QByteArray ascii;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            ascii.append('-');
        ++i;
    }
    bool anyDigit = false;
    while (i < n && isAsciiDigit(text[i])) {
        ascii.append(text[i].toLatin1());
        anyDigit = true;
        ++i;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ascii.append('.');
        ++i;
        while (i < n && isAsciiDigit(text[i])) {
            ascii.append(text[i].toLatin1());
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit)
        return 0.0;

    // The exponent counts only when digits follow it; "7e" and "7e+" are just 7.
    if (i < n && QStringLiteral("eEdD").contains(text[i])) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent.append(text[j].toLatin1());
            ++j;
        }
        const qsizetype firstDigit = j;
        while (j < n && isAsciiDigit(text[j])) {
            exponent.append(text[j].toLatin1());
            ++j;
        }
        if (j > firstDigit)
            ascii.append(exponent);
    }
    const double value = parseCanonical(ascii);
    return value == 0.0 ? 0.0 : value; // no negative zero
}

IntervalEntry readIntervalEntry(QStringView text)
{
    const double rounded = roundHalfEven(basicVal(text));
    IntervalEntry entry;
    if (rounded < 0.0) {
        entry.reason = QStringLiteral("The interval cannot be negative. Enter a whole number of "
                                      "seconds from 0 to %1.")
                           .arg(maxSlideInterval);
    } else if (rounded > maxSlideInterval) {
        entry.reason = QStringLiteral("The interval cannot be longer than %1 seconds. Enter a "
                                      "whole number of seconds from 0 to %1.")
                           .arg(maxSlideInterval);
    } else {
        entry.accepted = true;
        entry.seconds = static_cast<int>(rounded);
    }
    return entry;
}

std::int32_t intervalMilliseconds(int seconds)
{
    return static_cast<std::int32_t>(seconds) * 1000;
}

} // namespace vistrel
