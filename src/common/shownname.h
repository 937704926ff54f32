#pragma once

#include <QString>

// File and folder names as the program shows them in one-line labels and in messages.
namespace vistrel::shownname {

// The name with every character that would break or hide part of a line shown as a visible
// symbol: control characters as their pictures (a line feed as U+240A), and the other line and
// paragraph separators as U+2424. The text stays one line and every character can be seen.
QString visible(const QString &text);

// The text with a place to break the line after every "/" (and inside a run of over 40
// characters without one), so that a message wraps a long path at its folders and shows the
// whole name instead of cutting it at the box's edge. Only invisible breaks are added.
QString breakable(const QString &text);

} // namespace vistrel::shownname
