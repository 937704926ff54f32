#pragma once

#include <QStatusBar>
#include <QTimer>

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

    void setPanelText(int index, const QString &text);
    QString panelText(int index) const;
    QLabel *panel(int index) const;

    // The clock's tick: the locale's short date and long time.
    void datetimeTick();
    // Shows the lock keys' state; runs at each change of it.
    void updateLockPanels();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placePanels();

    QLabel *m_panels[4] = {};
    int m_widths[4] = {}; // pixels; panel 1's is its least
    QTimer m_datetime;
    LockIndicators *m_locks = nullptr;
};

} // namespace vistrel
