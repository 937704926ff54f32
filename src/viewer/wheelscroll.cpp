#include "viewer/wheelscroll.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace vistrel {

WheelScroll::WheelScroll(QWidget *area, QScrollBar *horizontal, QScrollBar *vertical)
    : QObject(area), m_horizontal(horizontal), m_vertical(vertical)
{
    // The pictures inside take no wheel of their own: the area and each of them turn it over.
    area->installEventFilter(this);
    for (QWidget *inside : area->findChildren<QWidget *>())
        inside->installEventFilter(this);
    horizontal->installEventFilter(this);
}

int WheelScroll::scrolledValue(int value, int angle, int lines, int step)
{
    const qint64 moved = qint64(angle) * lines * step / 120;
    return int(std::clamp<qint64>(value - moved, INT_MIN, INT_MAX));
}

bool WheelScroll::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_horizontal && event->type() == QEvent::KeyPress) {
        // The horizontal bar's arrows are turned the right way round (Left moves the view
        // left), which turns its page keys the wrong way: Page Down moves right, as the
        // vertical bar's moves down.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_PageUp && key != Qt::Key_PageDown)
            return false;
        m_horizontal->triggerAction(key == Qt::Key_PageDown ? QAbstractSlider::SliderPageStepAdd
                                                            : QAbstractSlider::SliderPageStepSub);
        return true;
    }
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const QPoint angle = wheel->angleDelta();
    // Some systems turn Shift and the wheel into a sideways turn themselves.
    const bool sideways = (wheel->modifiers() & Qt::ShiftModifier) || angle.y() == 0;
    QScrollBar *bar = sideways ? m_horizontal : m_vertical;
    if (!bar->isVisible())
        return false;
    const int turned = angle.y() != 0 ? angle.y() : angle.x();
    bar->setValue(
        scrolledValue(bar->value(), turned, QApplication::wheelScrollLines(), bar->singleStep()));
    return true;
}

} // namespace vistrel
