#pragma once

#include <QFont>
#include <QString>
#include <QTransform>

class QImage;
class QPainter;

namespace vistrel {

struct PageParams;

// A drawing surface addressed in inches from the sheet's top-left corner, over a QPainter that
// paints either the preview's paper image or the printer. It offers the few operations the page
// drawing needs (stretch a picture to a rectangle, place and write a line of text, measure text)
// so that the preview and the printout come from the same steps.
class PageSurface
{
public:
    // painter: active, with its current transform putting the sheet's corner at (0, 0) in device
    // units. unitsX/unitsY: device units per inch of paper; scaleWidth: the surface's width in
    // inches of paper.
    PageSurface(QPainter &painter, double unitsX, double unitsY, double scaleWidth);

    // Draws the picture stretched to the rectangle (inches), smoothly scaled at the device's
    // resolution; a picture larger than the rectangle's device pixels is reduced first.
    void paintPicture(const QImage &picture, double x, double y, double width, double height);

    void setFontName(const QString &family);
    void setFontSize(double points); // points on the device, as a printer or screen takes them
    void setCurrentX(double x) { m_currentX = x; }
    void setCurrentY(double y) { m_currentY = y; }
    double scaleWidth() const { return m_scaleWidth; }
    double textWidth(const QString &text) const; // inches with the current font
    // Writes the text with its top at the current position and moves on to the next line.
    void print(const QString &text);

private:
    QFont deviceFont() const;

    QPainter &m_painter;
    QTransform m_base;
    double m_unitsX = 1;
    double m_unitsY = 1;
    double m_scaleWidth = 0;
    double m_currentX = 0;
    double m_currentY = 0;
    QFont m_font;
};

// Draws one page: the picture (if any) stretched to the page's rectangle, then the footer line at
// 10 inches in 8-point "Arial" scaled by the font factor, roughly centred on a whole inch.
void drawPage(PageSurface &target, const PageParams &page, const QImage &picture,
              const QString &footer, double fontFactor);

} // namespace vistrel
