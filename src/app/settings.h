#pragma once

#include <QString>

#include <functional>

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
// A slide interval: such a number that the interval dialog would also accept (0 to 32767).
int toSlideInterval(const QString &text, int fallback);
// A position or size in twips, within +-2^31.
double toTwips(const QString &text, double fallback);
// A toolbar button state: exactly 0 or 1.
int toButtonState(const QString &text, int fallback);
// Shortest decimal text: whole numbers without a decimal point.
QString fromNumber(double value);
} // namespace settingstext

// The user's settings file: the INI file QSettings uses for the program's organisation and
// application names, found without opening it.
QString userSettingsFile();

// Reads the group "Settings" of the INI file at path; missing or bad keys give their defaults. A
// file that is missing, unreadable, not a regular file (a pipe, a device, a folder) or larger than
// any settings file (1 MB) gives every default, and such a file is never parsed, so that reading
// cannot block nor take long.
StoredSettings readSettings(const QString &path);

// Writes every key of the group "Settings" into the INI file at path, keeping its other content.
// The new file is written beside the old one and put in its place only once it holds every value,
// so a failed save leaves the old file as it was. Returns an empty text when the file on disk then
// holds all nine values, else the reason it does not. Each call stands on its own: an earlier
// failure, or a line of the file that could not be parsed, colours nothing. A file larger than any
// settings file is left as it is, and the reason says so. A folder whose name is not valid UTF-8
// is stored as its bytes, every other one as plain text; so is the path itself taken as bytes.
// mayReplace, when given, is asked once the new file holds every value and just before it is put
// in place: false gives the save up, and the new file is removed, the old one left as it was.
QString writeSettings(const QString &path, const StoredSettings &values,
                      const std::function<bool()> &mayReplace = {});

} // namespace vistrel
