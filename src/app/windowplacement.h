#pragma once

#include <QPointF>
#include <QSizeF>

class QWidget;

namespace vistrel {

// The main window's place on the screen between runs, in twips of its outer size. Restoring
// keeps the window wholly inside the available area of a screen; storing gives the window's
// position where the platform can tell it, and otherwise (Wayland, where a window never learns
// where it is) the position read at start, so that no made-up position is ever stored.
class WindowPlacement
{
public:
    explicit WindowPlacement(QWidget *window);

    // Sizes and places the window (not yet shown) from stored twips.
    void restore(double left, double top, double width, double height);
    QPointF positionToStore() const;
    QSizeF sizeToStore() const;

    void setPositionKnown(bool known) { m_positionKnown = known; }

private:
    QWidget *m_window;
    bool m_positionKnown;
    QPointF m_restoredPosition;
};

} // namespace vistrel
