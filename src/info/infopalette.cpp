#include "info/infopalette.h"

#include <cmath>

namespace vistrel::infopalette {
namespace {

// Plain text on the light window needs this much contrast; the link is small, plain text.
constexpr double readable = 4.5;

double luminance(const QColor &colour)
{
    auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

QColor readableOn(const QColor &window, QColor colour)
{
    // Darker and darker in the same hue until it reads well; black at the very end.
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    colour.getHslF(&hue, &saturation, &lightness);
    while (contrast(colour, window) < readable && lightness > 0) {
        lightness = std::max(0.0f, lightness - 0.02f);
        colour = QColor::fromHslF(hue, saturation, lightness);
    }
    return colour;
}

} // namespace

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette forTheme(const QPalette &theme)
{
    // A light grey window with black text; buttons, fields and disabled texts derived from it.
    QPalette light{QColor(0xef, 0xef, 0xef)};
    const QColor window = light.color(QPalette::Active, QPalette::Window);
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        light.setColor(group, QPalette::Highlight,
                       readableOn(window, theme.color(group, QPalette::Highlight)));
        light.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    return light;
}

} // namespace vistrel::infopalette
