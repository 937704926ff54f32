#include "info/aboutdialog.h"

#include "common/identity.h"

#include <QPushButton>

namespace vistrel {

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_screen(InfoScreen::build(this, infolayout::about()))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(identity::title());
    setModal(true);
    connect(m_screen.btnCont, &QPushButton::clicked, this, &QDialog::accept);
    auto *keys = new TypedKeyWatcher(this);
    connect(keys, &TypedKeyWatcher::keyTyped, this, &QDialog::reject);
    m_screen.btnCont->setFocus();
}

void AboutDialog::showModal(QWidget *parent)
{
    // Owned by the main window so that the window manager keeps it above it and centred on it.
    AboutDialog dialog(parent);
    dialog.exec();
}

} // namespace vistrel
