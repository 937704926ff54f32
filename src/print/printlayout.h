#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vistrel {

// Page layout arithmetic of the print preview: reading the four boxes (inches), fitting the paper
// image to the sheet's proportions, and placing the footer line. Numbers in, numbers out.

// The four boxes of the print preview, in the order they are read.
enum class PageBox { Height, Width, Left, Top };

// The box's label as the window shows it ("Height", "Width", "Left", "Top").
QString pageBoxName(PageBox box);

// The texts of the four boxes as typed.
struct PageBoxTexts
{
    QString height;
    QString width;
    QString left;
    QString top;
};

// The defaults written into the boxes at every opening of the preview.
PageBoxTexts defaultPageBoxTexts();

// The page as read from the boxes: the picture's size and its top-left corner, in inches. The top
// is always a whole number of inches.
struct PageParams
{
    float height = 0;
    float width = 0;
    float left = 0;
    std::int16_t top = 0;
};

// The outcome of reading the boxes: the page, or the first box that cannot be used and why.
struct PageParamsResult
{
    std::optional<PageParams> params;
    PageBox badBox = PageBox::Height;
    QString problem; // a sentence for the user naming the box; empty when params is set
};

// A number of inches: "." as the decimal point, blanks around it allowed. Empty text, anything
// that is not a number, and values beyond single precision give nothing.
std::optional<float> parseInches(const QString &text);

// The top margin as a 16-bit whole number: rounded to nearest, halves to the even neighbour.
// Nothing when the rounded value lies outside -32768..32767.
std::optional<std::int16_t> roundTopInches(float inches);

// Reads height, width, left and top in that order and stops at the first bad box. Sizes may not
// be negative; all four must stay within the 16-bit range of whole inches.
PageParamsResult readPageParams(const PageBoxTexts &texts);

// Fitting the paper image to the sheet: which of its sides keeps its length, the new length of
// the other side (inches, single precision) and the preview factor (paper-image inches per inch
// of paper).
struct PreviewScale
{
    enum Side { Width, Height };
    double factor = 1;
    Side sideSet = Height;
    float newLength = 0;
};

// paperWidth/paperHeight: the sheet in inches; imageWidth/imageHeight: the paper image's interior
// in inches. When the height ratio is the smaller one the width is set, otherwise (equality
// included) the height.
PreviewScale scalePreview(double paperWidth, double paperHeight, double imageWidth,
                          double imageHeight);

// Start of the footer line in whole inches: the free width rounded to a whole number (halves to
// even), then halved with truncation toward zero. 4.2 -> 2, 3.7 -> 2, 5.5 -> 3, 5 -> 2, -1.5 -> -1.
int footerCurrentX(double surfaceWidth, double textWidth);

// The footer: the main window's path label followed by the credit, no other separator.
QString footerText(const QString &picLabel);

// Where the footer line starts below the page origin, and its size on paper.
inline constexpr double footerTopInches = 10.0;
inline constexpr double footerPoints = 8.0;
inline constexpr const char *footerFontFamily = "Arial";

} // namespace vistrel
