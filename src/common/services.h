#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vistrel {

// Modal questions and messages. The real one shows QMessageBox; tests install a scripted one
// so that no test ever blocks on a dialog.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // Yes/No question without icon; true means Yes.
    virtual bool askYesNo(const QString &prompt, const QString &title) = 0;
    // Error with OK and the critical icon.
    virtual void critical(const QString &prompt, const QString &title) = 0;
    // Plain message with only OK.
    virtual void inform(const QString &prompt, const QString &title) = 0;
};

// The title of every error message.
inline QString errorTitle()
{
    return QStringLiteral("ERROR!");
}

// Ends the process at once, without any window closing or saving.
class Terminator
{
public:
    virtual ~Terminator() = default;
    virtual void endNow() = 0;
};

// Process-wide access to the seams. The defaults are the real implementations; a test replaces
// them for its lifetime with ScopedServices (see tests/testutils.h) and the previous ones return.
Prompter &prompter();
Terminator &terminator();
Prompter *setPrompter(Prompter *replacement);       // returns the previous one
Terminator *setTerminator(Terminator *replacement); // returns the previous one

// Whether a message box of the program is open, waiting for its answer.
bool isMessageOpen();

// Esc pressed on widget (it sees the key before the widget acts on it) ends the run through the
// end gate and terminator(); every other key goes on to the widget.
void endRunOnEscape(QWidget *widget);

// What must be done before the run may end (a save whose outcome is still to come): given the
// ending, the gate runs it at once or once that is done. Without one the run ends at once.
// Returns the previous gate.
using EndGate = std::function<void(std::function<void()> end)>;
EndGate setEndGate(EndGate gate);

// The main window (or nullptr): parent for the real message boxes, unless a modal dialog of the
// program is open, which then is their parent.
void setDialogParent(QWidget *parent);

// Hourglass for the lifetime of the object; restored on every path out of the scope.
class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace vistrel
