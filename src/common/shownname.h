#pragma once

#include <QString>

// File and folder names as the program shows them in one-line labels.
namespace vistrel::shownname {

// The name with every character that would break or hide part of a line shown as a visible
// symbol: control characters as their pictures (a line feed as U+240A), and the other line and
// paragraph separators as U+2424. The text stays one line and every character can be seen.
QString visible(const QString &text);

} // namespace vistrel::shownname
