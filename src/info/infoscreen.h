#pragma once

#include "info/infolayout.h"

#include <QObject>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace vistrel {

class URLLink;

// The content the splash and the About box share: the frame, the identity labels, the picture,
// the link and the Continue button, placed on a window at the given layout. Texts are read from
// the application's identity each time a window is built.
struct InfoScreen
{
    QFrame *Frame1 = nullptr;
    QLabel *lblCompanyProduct = nullptr;
    QLabel *lblProductName = nullptr;
    QLabel *lblPlatform = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblCompany = nullptr;
    QLabel *Image1 = nullptr;
    URLLink *link = nullptr;
    QPushButton *btnCont = nullptr;

    static InfoScreen build(QWidget *window, const infolayout::ScreenLayout &layout);

private:
    void fitTexts();
};

// Sees every typed key on a window before the window's controls do, wherever the focus is,
// and reports it. Keys that type nothing (Shift, Ctrl, ...), Tab (it moves the focus) and
// chords with Ctrl, Alt or Meta are not typed keys; Enter or Space on a focused button press
// that button, and on the focused link follow it.
class TypedKeyWatcher : public QObject
{
    Q_OBJECT
public:
    // Watches window and every widget in it at the time of the call.
    explicit TypedKeyWatcher(QWidget *window);

signals:
    void keyTyped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace vistrel
