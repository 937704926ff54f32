#include "print/printlayout.h"

#include "common/rounding.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace vistrel {

namespace {

constexpr double wholeInchMin = std::numeric_limits<std::int16_t>::min();
constexpr double wholeInchMax = std::numeric_limits<std::int16_t>::max();

QString notANumber(PageBox box)
{
    return QStringLiteral("The \"%1\" box does not hold a number. Enter inches with \".\" as the "
                          "decimal point, such as 0.5.")
        .arg(pageBoxName(box));
}

// Sizes cannot be negative, so their range starts at 0.
QString outOfRange(PageBox box, bool isSize)
{
    return QStringLiteral("The \"%1\" box lies outside the range of %2 to %3 inches.")
        .arg(pageBoxName(box))
        .arg(isSize ? 0.0 : wholeInchMin)
        .arg(wholeInchMax);
}

QString negativeSize(PageBox box)
{
    return QStringLiteral("The \"%1\" box holds a negative size. Enter 0 or more inches.")
        .arg(pageBoxName(box));
}

PageParamsResult refuse(PageBox box, const QString &problem)
{
    PageParamsResult result;
    result.badBox = box;
    result.problem = problem;
    return result;
}

} // namespace

QString pageBoxName(PageBox box)
{
    switch (box) {
    case PageBox::Height:
        return QStringLiteral("Height");
    case PageBox::Width:
        return QStringLiteral("Width");
    case PageBox::Left:
        return QStringLiteral("Left");
    case PageBox::Top:
        return QStringLiteral("Top");
    }
    return {};
}

PageBoxTexts defaultPageBoxTexts()
{
    PageBoxTexts texts;
    texts.left = QStringLiteral("0.5");
    texts.top = QStringLiteral("0.51");
    texts.height = QStringLiteral("5");
    texts.width = QStringLiteral("7");
    return texts;
}

std::optional<float> parseInches(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

std::optional<std::int16_t> roundTopInches(float inches)
{
    const double rounded = roundHalfEven(inches);
    if (!(rounded >= wholeInchMin && rounded <= wholeInchMax))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

PageParamsResult readPageParams(const PageBoxTexts &texts)
{
    // A value beyond the whole-inch range would only push the drawing into coordinates that
    // overflow the painting engines; no sheet comes near it.
    const auto inRange = [](float v) { return v >= wholeInchMin && v <= wholeInchMax; };

    PageParams params;
    const struct
    {
        PageBox box;
        const QString &text;
        float *value;
        bool isSize;
    } floats[] = {{PageBox::Height, texts.height, &params.height, true},
                  {PageBox::Width, texts.width, &params.width, true},
                  {PageBox::Left, texts.left, &params.left, false}};
    for (const auto &f : floats) {
        const std::optional<float> value = parseInches(f.text);
        if (!value)
            return refuse(f.box, notANumber(f.box));
        if (f.isSize && *value < 0)
            return refuse(f.box, negativeSize(f.box));
        if (!inRange(*value))
            return refuse(f.box, outOfRange(f.box, f.isSize));
        *f.value = *value;
    }

    const std::optional<float> top = parseInches(texts.top);
    if (!top)
        return refuse(PageBox::Top, notANumber(PageBox::Top));
    const std::optional<std::int16_t> wholeTop = roundTopInches(*top);
    if (!wholeTop)
        return refuse(PageBox::Top, outOfRange(PageBox::Top, false));
    params.top = *wholeTop;

    PageParamsResult result;
    result.params = params;
    return result;
}

PreviewScale scalePreview(double paperWidth, double paperHeight, double imageWidth,
                          double imageHeight)
{
    const double ry = imageHeight / paperHeight;
    const double rx = imageWidth / paperWidth;
    PreviewScale scale;
    if (ry < rx) {
        scale.factor = ry;
        scale.sideSet = PreviewScale::Width;
        scale.newLength = static_cast<float>(paperWidth * ry);
    } else {
        scale.factor = rx;
        scale.sideSet = PreviewScale::Height;
        scale.newLength = static_cast<float>(paperHeight * rx);
    }
    return scale;
}

int footerCurrentX(double surfaceWidth, double textWidth)
{
    const double whole = roundHalfEven(surfaceWidth - textWidth);
    // A free width beyond int range cannot come from a sheet of paper; clamp rather than overflow.
    const double clamped = std::fmax(std::fmin(whole, std::numeric_limits<int>::max()),
                                     std::numeric_limits<int>::min());
    return static_cast<int>(clamped) / 2;
}

QString footerText(const QString &picLabel)
{
    return picLabel + QStringLiteral(" VISTREL - printed with Vistrel");
}

} // namespace vistrel
