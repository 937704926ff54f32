#include "app/clockformat.h"

namespace vistrel {

QString loadClockText(const QDateTime &now)
{
    return QLocale::c().toString(now, QStringLiteral("dd/MM/yyyy hh:mm:ss AP"));
}

namespace {

// The time format without its time zone fields ('t' outside quoted text), together with the
// brackets that only set the zone off, as in "H.mm:ss (t)".
QString withoutZone(const QString &format)
{
    QString out;
    bool quoted = false;
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = format.at(i);
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't') {
            out.append(c);
            continue;
        }
        while (i + 1 < n && format.at(i + 1) == u't')
            ++i;
        if (out.endsWith(u'(') && i + 1 < n && format.at(i + 1) == u')') {
            out.chop(1);
            ++i;
        }
        // A zone between two blanks leaves one of them.
        if (out.endsWith(u' ') && i + 1 < n && format.at(i + 1) == u' ')
            ++i;
    }
    return out.trimmed();
}

} // namespace

QString tickClockText(const QDate &date, const QTime &time, const QLocale &locale)
{
    // Qt's long time form names the time zone; the status bar shows only the time of day.
    const QString timeFormat = withoutZone(locale.timeFormat(QLocale::LongFormat));
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(time, timeFormat);
}

} // namespace vistrel
