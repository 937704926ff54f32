#pragma once

#include <QString>

class QSettings;

namespace vistrel {

// Everything the program keeps between runs, with the values of a first run. Positions and sizes
// are the window's, in twips; the toolbar values are the pressed states (0 or 1) of the buttons
// "sortdate", "sortname" and "scalepic", from which the sort and view modes follow.
struct StoredSettings
{
    QString lastDir = QStringLiteral("/");
    int slideInterval = 10;
    double mainLeft = 3000;
    double mainTop = 3000;
    double mainWidth = 9090;
    double mainHeight = 8610;
    int toolbar1 = 0;
    int toolbar2 = 1;
    int toolbar3 = 1;
};

// Text conversions of the stored values. A text that is no number, or a number out of range for
// its kind, gives the default: each key falls back on its own.
namespace settingstext {
// A 16-bit signed whole number; a fraction rounds to the nearest, halves to even.
int toInt16(const QString &text, int fallback);
// A position or size in twips, within +-2^31.
double toTwips(const QString &text, double fallback);
// A toolbar button state: exactly 0 or 1.
int toButtonState(const QString &text, int fallback);
// Shortest decimal text: whole numbers without a decimal point.
QString fromNumber(double value);
} // namespace settingstext

// Reads the store's group "Settings"; missing or bad keys give their defaults.
StoredSettings readSettings(QSettings &store);

// Writes every key of the group "Settings" and flushes the store. Returns an empty text on
// success, else the reason the store could not be written.
QString writeSettings(QSettings &store, const StoredSettings &values);

} // namespace vistrel
