#include "info/handcursor.h"

#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vistrel {

QImage handCursorImage()
{
    QImage image(handCursorSize, handCursorSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    // One outline for the raised index finger, the three folded fingers and the palm, drawn
    // at half-pixel offsets so the one-pixel outline stays crisp.
    QPainterPath hand;
    hand.moveTo(10.5, 7.5);
    hand.cubicTo(10.5, 3.5, 15.5, 3.5, 15.5, 7.5); // fingertip around (13, 5)
    hand.lineTo(15.5, 14.5);
    hand.cubicTo(15.5, 12.0, 19.5, 12.0, 19.5, 14.5); // middle finger
    hand.cubicTo(19.5, 12.5, 23.0, 12.5, 23.0, 15.0); // ring finger
    hand.cubicTo(23.0, 13.5, 26.5, 13.5, 26.5, 16.0); // little finger
    hand.lineTo(26.5, 22.5);
    hand.cubicTo(26.5, 26.0, 24.5, 28.5, 22.5, 29.5);
    hand.lineTo(13.5, 29.5);
    hand.cubicTo(11.5, 27.5, 9.0, 24.5, 6.0, 20.0); // heel of the hand
    hand.cubicTo(4.5, 17.5, 6.5, 15.5, 8.5, 17.0);  // thumb
    hand.lineTo(10.5, 19.0);
    hand.closeSubpath();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    // Creases between the folded fingers.
    painter.drawLine(QPointF(19.5, 14.5), QPointF(19.5, 19.0));
    painter.drawLine(QPointF(23.0, 15.0), QPointF(23.0, 19.0));
    painter.end();
    return image;
}

QCursor handCursor()
{
    return QCursor(QPixmap::fromImage(handCursorImage()), handHotSpotX, handHotSpotY);
}

} // namespace vistrel
