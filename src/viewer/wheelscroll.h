#pragma once

#include <QObject>

class QScrollBar;
class QWidget;

namespace vistrel {

// Turns the mouse wheel over the viewing area into moves of its scroll bars: the vertical bar,
// the horizontal one with Shift held or for a sideways wheel. Bars not shown (the picture fits,
// or it is scaled to fit) leave the wheel alone. The horizontal bar's page keys go the way of its
// arrows: Page Down to the right.
class WheelScroll : public QObject
{
    Q_OBJECT

public:
    // Watches area and the widgets it holds now.
    WheelScroll(QWidget *area, QScrollBar *horizontal, QScrollBar *vertical);

    // The new value of a bar at value for a wheel turned by angle eighths of a degree (120 to a
    // notch), lines per notch steps of step pixels; the bar keeps it within its range.
    static int scrolledValue(int value, int angle, int lines, int step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QScrollBar *m_horizontal;
    QScrollBar *m_vertical;
};

} // namespace vistrel
