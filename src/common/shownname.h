#pragma once

#include <QString>

// File and folder names as the program shows them in one-line labels.
namespace vistrel::shownname {

// The marks, drawn by the fonts the program depends on (DejaVu Sans has them all; the package
// check asks fontconfig): a line break of any kind, a tab, anything else that cannot be shown.
inline constexpr char16_t lineBreakMark = 0x21B5; // ↵
inline constexpr char16_t tabMark = 0x2192;       // →
inline constexpr char16_t controlMark = 0xFFFD;   // the replacement character

// The name with every character that would break or hide part of a line shown as a visible
// mark: line feeds, carriage returns and the other line and paragraph separators as a line
// break, a tab as a tab, and any other control character, and a byte that is no UTF-8 (a lone
// surrogate, see nativename), as the replacement character. The text stays one line and every
// character can be seen.
QString visible(const QString &text);

} // namespace vistrel::shownname
