#pragma once

// What the screen showed at a widget's first repaint after something the test does: the widget's
// paint events are watched, and right after the first one that comes once `started()` holds has
// been handled (and its pixels handed to the X server), the top-level window's pixels are read
// back from the X server, so later repaints cannot hide what that one showed.

#include <QImage>
#include <QObject>
#include <QRect>

#include <functional>

class QWidget;

namespace vistrel::session {

// The share of a picture's pixels, in percent, that have exactly this colour.
double colourShare(const QImage &image, QRgb colour);

class FirstPaint : public QObject
{
    Q_OBJECT

public:
    // Watches `widget`; `area` is the part of interest, in the widget's coordinates at the time
    // of the grab (it is asked for then, the widget may have moved).
    FirstPaint(QWidget *widget, std::function<bool()> started, std::function<QRect()> area);

    bool grabbed() const { return !m_grab.isNull(); }
    // The area as the X server held it after the first paint.
    const QImage &grab() const { return m_grab; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void grabNow();

    QWidget *m_widget;
    std::function<bool()> m_started;
    std::function<QRect()> m_area;
    bool m_painted = false;
    QImage m_grab;
};

} // namespace vistrel::session
