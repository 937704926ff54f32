#include "app/windowplacement.h"

#include "app/mainlayout.h"
#include "common/units.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vistrel {
namespace {

constexpr double windowFrameWidth = layout::decorationWidth;
constexpr double windowFrameHeight = layout::decorationHeight;

bool platformReportsPositions()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The screen that shows most of the rectangle; none when it lies on no screen at all.
const QScreen *screenShowing(const QRect &frame)
{
    const QScreen *best = nullptr;
    qint64 bestArea = 0;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect common = screen->availableGeometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

} // namespace

WindowPlacement::WindowPlacement(QWidget *window)
    : m_window(window), m_positionKnown(platformReportsPositions())
{}

void WindowPlacement::restore(double left, double top, double width, double height)
{
    m_restoredPosition = QPointF(left, top);
    const QSize frame(units::toPixels(windowFrameWidth), units::toPixels(windowFrameHeight));
    const QSize minimum = m_window->minimumSizeHint().expandedTo(m_window->minimumSize());
    const QSize client = QSize(units::toPixels(width), units::toPixels(height)) - frame;
    QRect wanted(QPoint(units::toPixels(left), units::toPixels(top)),
                 client.expandedTo(minimum) + frame);

    const QScreen *screen = screenShowing(wanted);
    if (!screen) {
        // Stored where no screen is now (a screen was removed): centred on the primary screen.
        screen = QGuiApplication::primaryScreen();
        if (screen)
            wanted.moveCenter(screen->availableGeometry().center());
    }
    if (screen)
        wanted = keepInside(wanted, screen->availableGeometry(), minimum + frame);
    m_window->resize(wanted.size() - frame);
    m_window->move(wanted.topLeft());
}

QPointF WindowPlacement::positionToStore() const
{
    if (!m_positionKnown)
        return m_restoredPosition;
    const QPoint at = m_window->frameGeometry().topLeft();
    return QPointF(units::toTwips(at.x()), units::toTwips(at.y()));
}

QSizeF WindowPlacement::sizeToStore() const
{
    return outerSizeForWindow(
        QSizeF(units::toTwips(m_window->width()), units::toTwips(m_window->height())));
}

} // namespace vistrel
