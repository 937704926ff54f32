#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace vistrel {

// "dd/mm/yyyy hh:mm:ss AM/PM": day first, 12-hour clock, with the locale's date and time
// separators in place of "/" and ":"; written once when the window loads.
QString loadClockText(const QDateTime &now, const QLocale &locale = QLocale());

// The locale's short date, one blank, and its long time form (without a time zone name); written
// by every tick of the clock.
QString tickClockText(const QDate &date, const QTime &time, const QLocale &locale = QLocale());

} // namespace vistrel
