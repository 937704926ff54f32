#include "slideshow/slideshow.h"

#include "slideshow/slideinterval.h"

#include <QTimer>

namespace vistrel {

QtSlideTimer::QtSlideTimer(QObject *parent) : SlideTimer(parent), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &SlideTimer::timeout);
}

void QtSlideTimer::start(int milliseconds)
{
    m_timer->start(milliseconds);
}

void QtSlideTimer::stop()
{
    m_timer->stop();
}

bool QtSlideTimer::isActive() const
{
    return m_timer->isActive();
}

SlideShow::SlideShow(SlideTarget &target, SlideTimer *timer, QObject *parent)
    : QObject(parent), m_target(target), m_timer(timer ? timer : new QtSlideTimer(this))
{
    connect(m_timer, &SlideTimer::timeout, this, &SlideShow::slidetimer_Timer);
}

void SlideShow::toggleslideshow()
{
    // The question is modal, but a nested event loop must not open a second one.
    if (m_asking)
        return;
    if (m_running) {
        stop();
        emit runningChanged(false);
        return;
    }
    bool startIt = false;
    if (m_asker) {
        m_asking = true;
        startIt = m_asker(m_interval);
        m_asking = false;
    }
    if (startIt)
        start();
    else
        m_timer->stop();
    emit runningChanged(m_running);
}

void SlideShow::start()
{
    m_running = true;
    m_lastShown = -1;
    m_failed.clear();
    showCurrentAndAdvance();
    // A zero interval shows the first picture and then stands still; a 0 ms timer would spin.
    if (m_interval > 0 && m_interval <= maxSlideInterval)
        m_timer->start(intervalMilliseconds(m_interval));
    else
        m_timer->stop();
}

void SlideShow::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer->stop();
}

void SlideShow::slidetimer_Timer()
{
    if (m_running && !(m_held && m_held()))
        showCurrentAndAdvance();
}

void SlideShow::passOver(int index)
{
    if (m_running && index >= 0 && index < m_target.count())
        m_failed.insert(m_target.key(index));
}

void SlideShow::showCurrentAndAdvance()
{
    const int count = m_target.count();
    int index = m_target.curslide();
    // A cleared selection (a picture that could not be shown, here or later) goes on after the
    // picture the show selected last.
    if (index < 0 && m_lastShown >= 0)
        index = m_lastShown + 1;
    // An empty list shows nothing and leaves curslide at the first picture, so the show goes
    // on from there once pictures arrive.
    if (index > count - 1 || index < 0)
        index = 0;
    m_target.setCurslide(index);
    if (count == 0)
        return;
    for (int passed = 0; m_failed.contains(m_target.key(index)); index = (index + 1) % count)
        if (++passed == count)
            return; // none of them can be shown
    const QString key = m_target.key(index);
    m_target.select(index);
    m_lastShown = index;
    if (m_target.curslide() < 0 || m_failed.contains(key)) {
        m_failed.insert(key);
        // A file deleted on the question about it has given its place to the next picture.
        m_target.setCurslide(m_target.key(index) == key ? index + 1 : index);
    } else {
        m_target.setCurslide(m_target.curslide() + 1);
    }
}

} // namespace vistrel
