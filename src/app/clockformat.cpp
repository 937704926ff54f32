#include "app/clockformat.h"

#include <algorithm>

namespace vistrel {

namespace {

// What stands between the first two fields of a date or time format, such as "." in "dd.MM.yy";
// quoted words and blanks are passed over. Direction marks (as in right-to-left locales) are no
// separator of their own: they stay with the separator they come with, as in the locale's own
// texts, and a format whose fields only marks divide gets the fallback after them.
QString fieldSeparator(const QString &format, QChar fallback)
{
    bool quoted = false;
    bool afterField = false;
    QString separator;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c.isSpace())
            continue;
        if (c.isLetter()) {
            if (!separator.isEmpty())
                break;
            afterField = true;
        } else if (afterField) {
            separator.append(c);
        }
    }
    const bool onlyMarks = std::all_of(separator.cbegin(), separator.cend(),
                                       [](QChar c) { return c.category() == QChar::Other_Format; });
    return onlyMarks ? separator + fallback : separator;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

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

QString loadClockText(const QDateTime &now, const QLocale &locale)
{
    const QString date = fieldSeparator(locale.dateFormat(QLocale::ShortFormat), u'/');
    const QString time = fieldSeparator(locale.timeFormat(QLocale::LongFormat), u':');
    const QDate d = now.date();
    const QTime t = now.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return twoDigits(d.day()) + date + twoDigits(d.month()) + date +
           QString::number(d.year()).rightJustified(4, u'0') + u' ' + twoDigits(hour12) + time +
           twoDigits(t.minute()) + time + twoDigits(t.second()) +
           (t.hour() < 12 ? QLatin1String(" AM") : QLatin1String(" PM"));
}

QString tickClockText(const QDate &date, const QTime &time, const QLocale &locale)
{
    // Qt's long time form names the time zone; the status bar shows only the time of day.
    const QString timeFormat = withoutZone(locale.timeFormat(QLocale::LongFormat));
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(time, timeFormat);
}

} // namespace vistrel
