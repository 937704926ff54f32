#include "app/identity.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "info/startup.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(vistrel::identity::productName());
    QApplication::setOrganizationName(vistrel::identity::organisation());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(vistrel::identity::major)
                                            .arg(vistrel::identity::minor)
                                            .arg(vistrel::identity::revision));
    // Only the file's place is settled here: it is read when the main window loads.
    const QString settingsFile = vistrel::userSettingsFile();
    std::unique_ptr<vistrel::MainWindow> window;
    // The splash's Continue loads the main window while the splash is still shown.
    vistrel::Main([&]() -> QWidget * {
        window = std::make_unique<vistrel::MainWindow>(settingsFile);
        window->Form_Load();
        return window.get();
    });
    return QApplication::exec();
}
