#include "app/settings.h"

#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <cmath>
#include <limits>

namespace vistrel {
namespace {

const QString group = QStringLiteral("Settings");

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

QString readText(QSettings &store, const char *key)
{
    const QVariant value = store.value(QLatin1String(key));
    return value.isValid() ? value.toString() : QString();
}

bool hasKey(QSettings &store, const char *key)
{
    return store.contains(QLatin1String(key));
}

} // namespace

namespace settingstext {

int toInt16(const QString &text, int fallback)
{
    double v = 0;
    if (!parseNumber(text, &v))
        return fallback;
    v = std::nearbyint(v); // the default rounding mode rounds halves to even
    if (v < -32768 || v > 32767)
        return fallback;
    return int(v);
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

StoredSettings readSettings(QSettings &store)
{
    using namespace settingstext;
    StoredSettings s;
    store.beginGroup(group);
    if (hasKey(store, "LastDir"))
        s.lastDir = readText(store, "LastDir");
    s.slideInterval = toInt16(readText(store, "SlideInterval"), s.slideInterval);
    s.mainLeft = toTwips(readText(store, "MainLeft"), s.mainLeft);
    s.mainTop = toTwips(readText(store, "MainTop"), s.mainTop);
    s.mainWidth = toTwips(readText(store, "MainWidth"), s.mainWidth);
    s.mainHeight = toTwips(readText(store, "MainHeight"), s.mainHeight);
    s.toolbar1 = toButtonState(readText(store, "Toolbar1"), s.toolbar1);
    s.toolbar2 = toButtonState(readText(store, "Toolbar2"), s.toolbar2);
    s.toolbar3 = toButtonState(readText(store, "Toolbar3"), s.toolbar3);
    store.endGroup();
    return s;
}

QString writeSettings(QSettings &store, const StoredSettings &values)
{
    using settingstext::fromNumber;
    store.beginGroup(group);
    store.setValue(QStringLiteral("LastDir"), values.lastDir);
    store.setValue(QStringLiteral("SlideInterval"), QString::number(values.slideInterval));
    store.setValue(QStringLiteral("MainLeft"), fromNumber(values.mainLeft));
    store.setValue(QStringLiteral("MainTop"), fromNumber(values.mainTop));
    store.setValue(QStringLiteral("MainWidth"), fromNumber(values.mainWidth));
    store.setValue(QStringLiteral("MainHeight"), fromNumber(values.mainHeight));
    store.setValue(QStringLiteral("Toolbar1"), QString::number(values.toolbar1));
    store.setValue(QStringLiteral("Toolbar2"), QString::number(values.toolbar2));
    store.setValue(QStringLiteral("Toolbar3"), QString::number(values.toolbar3));
    store.endGroup();
    store.sync();
    switch (store.status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError: {
        const QFileInfo file(store.fileName());
        if (file.exists() && !file.isWritable())
            return QStringLiteral("the file is read-only");
        return QStringLiteral("the file or its folder cannot be written");
    }
    case QSettings::FormatError:
        return QStringLiteral("the file's content is not in the expected format");
    }
    // QSettings reports a failed write of an INI file as an access error only sometimes (a full
    // disk may pass unnoticed); reading the value back catches the rest.
    QSettings check(store.fileName(), QSettings::IniFormat);
    if (check.value(group + QStringLiteral("/LastDir")).toString() != values.lastDir)
        return QStringLiteral("the values could not be read back after writing");
    return {};
}

} // namespace vistrel
