#pragma once

#include <QStatusBar>
#include <QTimer>

class QFontMetrics;
class QLabel;

namespace vistrel {

class LockIndicators;

// The main window's status bar: panel 1 "status" (picture sizes), 2 Caps Lock, 3 Num Lock and
// 4 "datetime", a clock refreshed every 600 ms. Panels are addressed by their 1-based index.
class MainStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int clockIntervalMs = 600;

    explicit MainStatusBar(QWidget *parent = nullptr);
    ~MainStatusBar() override;

    // Panel 1's text, when too long for it, is shown shortened in the middle of the path it
    // names, so that what it says of the path (its verdict, at the end) stays to be read; the
    // whole text is its tool tip and what a screen reader reads. panelText is the whole text.
    void setPanelText(int index, const QString &text);
    QString panelText(int index) const;
    QLabel *panel(int index) const;

    // The text as it fits `width` pixels in `metrics`: whole when it fits, else with the middle
    // of its path (from the first "/" to the end of the last name) left out, else with its
    // middle left out.
    static QString elided(const QString &text, const QFontMetrics &metrics, int width);

    // The clock's tick: the locale's short date and long time.
    void datetimeTick();
    // Shows the lock keys' state; runs at each change of it.
    void updateLockPanels();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placePanels();
    void showPanelText(int index);

    QLabel *m_panels[4] = {};
    QString m_texts[4];
    int m_widths[4] = {}; // pixels; panel 1's is its least
    QTimer m_datetime;
    LockIndicators *m_locks = nullptr;
};

} // namespace vistrel
