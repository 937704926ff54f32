#pragma once

// The slide show: steps through the picture list on a timer, showing each picture through the
// ordinary display and wrapping round after the last. The main window owns one, hands it the
// picture list as a SlideTarget and follows runningChanged() with its menu item and button.

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QTimer;

namespace vistrel {

// What the show needs from the picture list. select() sets the list index, which runs the
// display at once; the display writes curslide to the index it showed, or -1 when it could not
// show the picture and cleared the selection. key() tells the entries apart (the full path).
class SlideTarget
{
public:
    virtual ~SlideTarget() = default;
    virtual int count() const = 0;
    virtual void select(int index) = 0;
    virtual int curslide() const = 0;
    virtual void setCurslide(int index) = 0;
    virtual QString key(int index) const = 0;
};

// The show's timer, behind an interface so that tests fire ticks themselves.
class SlideTimer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start(int milliseconds) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

signals:
    void timeout();
};

// The real timer: a repeating QTimer.
class QtSlideTimer final : public SlideTimer
{
    Q_OBJECT
public:
    explicit QtSlideTimer(QObject *parent = nullptr);
    void start(int milliseconds) override;
    void stop() override;
    bool isActive() const override;

private:
    QTimer *m_timer = nullptr;
};

class SlideShow : public QObject
{
    Q_OBJECT
public:
    // Asks the user for the interval in seconds (the real one shows the interval dialog). It
    // may change the interval whatever the answer; true means start the show.
    using IntervalAsker = std::function<bool(int &interval)>;

    // The timer may be nullptr: the show then makes its own QtSlideTimer. Neither the target
    // nor the timer passed in is owned.
    explicit SlideShow(SlideTarget &target, SlideTimer *timer = nullptr, QObject *parent = nullptr);

    void setIntervalAsker(IntervalAsker asker) { m_asker = std::move(asker); }
    // While this answers true (a question of the program is open), ticks do not move the show
    // on: the picture the question is about stays shown, and the show resumes after it.
    void setHeld(std::function<bool()> held) { m_held = std::move(held); }

    // slideshowinterval: whole seconds, kept between shows and saved with the settings.
    int slideshowinterval() const { return m_interval; }
    void setSlideshowinterval(int seconds) { m_interval = seconds; }

    // slideshowonoff: true while a show runs.
    bool slideshowonoff() const { return m_running; }

public slots:
    // Starts a show after asking for the interval when none runs; stops the running one.
    void toggleslideshow();
    // Ends a running show without asking anything; does nothing when none runs.
    void stop();
    // slidetimer_Timer: shows the picture at curslide (wrapping to the first) and moves on. A
    // picture that could not be shown is passed over for the rest of the show, so its fault is
    // told once, and the show goes on after it.
    void slidetimer_Timer();
    // The picture at index could not be shown (told by the display, which may ask about it
    // later than the selection): a running show passes over it from now on.
    void passOver(int index);
    // What could not be shown may be shown now (the view mode changed): nothing is passed over.
    void forgetPassedOver() { m_failed.clear(); }

signals:
    // Emitted at the end of every toggle, also when a cancelled question leaves the show
    // stopped, so that a check-style button that toggled itself on the click is put back.
    void runningChanged(bool running);

private:
    void start();
    void showCurrentAndAdvance();

    SlideTarget &m_target;
    SlideTimer *m_timer = nullptr;
    IntervalAsker m_asker;
    std::function<bool()> m_held;
    int m_interval = 10;
    bool m_running = false;
    bool m_asking = false;
    // The index the show last selected, and the pictures it could not show.
    int m_lastShown = -1;
    QSet<QString> m_failed;
};

} // namespace vistrel
