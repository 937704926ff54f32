#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

class QColor;

namespace vistrel {

// The toolbar's pictures for the colour of the bar they are drawn on. They are drawn for a light
// bar; on a dark one every colour of the drawing has its lightness turned over (dark outlines
// become light, white paper dark grey, hues kept), so that outlines keep their contrast.
namespace toolbaricons {

// Whether a bar of this colour counts as dark (lightness below one half).
bool isDark(const QColor &bar);
// The drawing with each #rgb and #rrggbb colour's lightness turned over.
QByteArray darkVariant(const QByteArray &svg);
// The icon of that name (":/toolbar/NAME.svg") for a bar of this colour.
QIcon icon(const QString &name, const QColor &bar);

} // namespace toolbaricons
} // namespace vistrel
