#include "app/clockformat.h"

namespace vistrel {

QString loadClockText(const QDateTime &now)
{
    return QLocale::c().toString(now, QStringLiteral("dd/MM/yyyy hh:mm:ss AP"));
}

QString tickClockText(const QDate &date, const QTime &time, const QLocale &locale)
{
    // Qt's long time form names the time zone; the status bar shows only the time of day.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(time, timeFormat);
}

} // namespace vistrel
