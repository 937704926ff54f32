#pragma once

#include "common/rounding.h"

// Turning the text typed into the interval box into a number of seconds, and that number into
// a timer interval. Pure arithmetic: no widgets, no state.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vistrel {

// The number at the start of the text, read the way BASIC's Val reads it: leading blanks,
// tabs and line ends skipped, an optional sign, digits, an optional "." with a fraction, an
// optional exponent (E or D, optional sign, digits). Reading stops at the first character that
// does not fit; text that does not begin with a number gives 0. A value too large for a double
// gives an infinity of the right sign, so that the range check below refuses it.
double basicVal(QStringView text);

// Largest interval the show accepts, in whole seconds.
inline constexpr int maxSlideInterval = 32767;

// Outcome of reading an interval entry.
struct IntervalEntry
{
    bool accepted = false;
    int seconds = 0; // the rounded entry, valid only when accepted
    QString reason;  // why it was refused, for the user; empty when accepted
};

// Val, rounded halves-to-even, then checked: a whole number 0..32767 is accepted (0 means the
// show never advances); anything negative or larger is refused with a reason text.
IntervalEntry readIntervalEntry(QStringView text);

// The timer interval for a number of seconds, in 32-bit milliseconds (32767 s fits easily).
std::int32_t intervalMilliseconds(int seconds);

} // namespace vistrel
