#pragma once

#include "info/infoscreen.h"

#include <QDialog>

namespace vistrel {

// The About box: the program's identity, its link and Continue. Modal, and built afresh at
// every opening so its texts are always those of the current identity.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // Opens a new About box modally over parent and returns when it is closed.
    static void showModal(QWidget *parent);

    const InfoScreen &screen() const { return m_screen; }

private:
    InfoScreen m_screen;
};

} // namespace vistrel
