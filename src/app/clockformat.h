#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace vistrel {

// "dd/mm/yyyy hh:mm:ss AM/PM": day first, 12-hour clock; written once when the window loads.
QString loadClockText(const QDateTime &now);

// The locale's short date, one blank, and its long time form (without a time zone name); written
// by every tick of the clock.
QString tickClockText(const QDate &date, const QTime &time, const QLocale &locale = QLocale());

} // namespace vistrel
