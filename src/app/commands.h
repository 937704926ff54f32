#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMainWindow;
class QToolBar;

namespace vistrel {

// The main window's commands: one QAction each, shared by the menu item and the toolbar button,
// so that the check mark and the pressed state are one and the same. Toolbar buttons are
// addressed by their 1-based position and known by their key text.
class Commands : public QObject
{
    Q_OBJECT

public:
    enum Id {
        Save,
        Delete,
        Print,
        Exit,
        SortDate,
        SortName,
        SlideShow,
        AutoRefresh,
        ScaleToFit,
        About,
        CommandCount
    };

    explicit Commands(QMainWindow *window);

    QAction *action(Id id) const { return m_actions[id]; }
    QToolBar *toolbar() const { return m_toolbar; }

    // The toolbar button at 1-based position index, and its key text.
    QAction *button(int index) const;
    QString buttonKey(int index) const;
    // 1 when the button is pressed, else 0.
    int buttonValue(int index) const;
    // Presses or releases a button from code; no click handling runs.
    void setButtonValue(int index, int value);
    void setChecked(Id id, bool checked);

    // What a click on the toolbar button with this key does: a check-style button changes its
    // state first, then its command runs. Keys are compared exactly; an unknown key does nothing.
    bool clickToolbarKey(const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The toolbar's pictures for the bar's present colour.
    void applyIcons();

    QAction *m_actions[CommandCount] = {};
    QToolBar *m_toolbar = nullptr;
};

} // namespace vistrel
