#include "print/pagesurface.h"

#include "print/printlayout.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace vistrel {

PageSurface::PageSurface(QPainter &painter, double unitsX, double unitsY, double scaleWidth)
    : m_painter(painter), m_base(painter.transform()), m_unitsX(unitsX), m_unitsY(unitsY),
      m_scaleWidth(scaleWidth)
{}

void PageSurface::paintPicture(const QImage &picture, double x, double y, double width,
                               double height)
{
    if (picture.isNull() || width <= 0 || height <= 0)
        return;
    const QRectF target(x * m_unitsX, y * m_unitsY, width * m_unitsX, height * m_unitsY);
    m_painter.save();
    m_painter.setTransform(m_base);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    // Reduce a large picture to the pixels the device really has for it, with a filtering
    // scaler; an enlargement is left to the engine (interpolated), so memory never grows past
    // the picture's own size.
    const QSizeF devicePixels = m_painter.deviceTransform().mapRect(target).size();
    const QSize wanted(qMax(1, qRound(devicePixels.width())),
                       qMax(1, qRound(devicePixels.height())));
    if (wanted.width() < picture.width() && wanted.height() < picture.height())
        m_painter.drawImage(
            target, picture.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    else
        m_painter.drawImage(target, picture);
    m_painter.restore();
}

void PageSurface::setFontName(const QString &family)
{
    m_font.setFamily(family);
}

void PageSurface::setFontSize(double points)
{
    if (points > 0)
        m_font.setPointSizeF(points);
}

QFont PageSurface::deviceFont() const
{
    return QFont(m_font, m_painter.device());
}

double PageSurface::textWidth(const QString &text) const
{
    const QFontMetricsF metrics(deviceFont(), m_painter.device());
    return metrics.horizontalAdvance(text) / m_unitsX;
}

void PageSurface::print(const QString &text)
{
    const QFont font = deviceFont();
    const QFontMetricsF metrics(font, m_painter.device());
    m_painter.save();
    m_painter.setTransform(m_base);
    m_painter.setFont(font);
    m_painter.drawText(QPointF(m_currentX * m_unitsX, m_currentY * m_unitsY + metrics.ascent()),
                       text);
    m_painter.restore();
    m_currentX = 0;
    m_currentY += metrics.height() / m_unitsY;
}

void drawPage(PageSurface &target, const PageParams &page, const QImage &picture,
              const QString &footer, double fontFactor)
{
    target.paintPicture(picture, page.left, page.top, page.width, page.height);
    target.setFontName(QString::fromLatin1(footerFontFamily));
    target.setCurrentY(footerTopInches);
    target.setFontSize(fontFactor * footerPoints);
    target.setCurrentX(footerCurrentX(target.scaleWidth(), target.textWidth(footer)));
    target.print(footer);
}

} // namespace vistrel
