#include "firstpaint.h"

#include <QEvent>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace vistrel::session {

FirstPaint::FirstPaint(QWidget *widget, std::function<bool()> started, std::function<QRect()> area)
    : m_widget(widget), m_started(std::move(started)), m_area(std::move(area))
{
    widget->installEventFilter(this);
}

bool FirstPaint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::Paint && !m_painted && m_started()) {
        m_painted = true;
        // Queued: it runs once this paint is done and flushed, before any later repaint, whose
        // request is posted behind it.
        QMetaObject::invokeMethod(this, &FirstPaint::grabNow, Qt::QueuedConnection);
    }
    return false;
}

void FirstPaint::grabNow()
{
    QWidget *window = m_widget->window();
    const QRect area = m_area();
    const QPoint at = m_widget->mapTo(window, area.topLeft());
    // From the X server: what is on the screen, not the widget drawn again.
    m_grab = window->screen()
                 ->grabWindow(window->winId(), at.x(), at.y(), area.width(), area.height())
                 .toImage();
}

double colourShare(const QImage &image, QRgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull() || rgb.width() * rgb.height() == 0)
        return -1;
    qint64 same = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            same += (line[x] & 0xFFFFFFu) == (colour & 0xFFFFFFu);
    }
    return 100.0 * double(same) / double(qint64(rgb.width()) * rgb.height());
}

} // namespace vistrel::session
