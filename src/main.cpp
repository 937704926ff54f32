#include "app/accessibility.h"
#include "app/identity.h"
#include "app/mainwindow.h"
#include "info/startup.h"

#include <QApplication>
#include <QSettings>

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
    QGuiApplication::setDesktopFileName(vistrel::identity::desktopFileName());
    QApplication::setWindowIcon(vistrel::identity::windowIcon());
    vistrel::installAccessibleInterfaces();
    QSettings store(QSettings::IniFormat, QSettings::UserScope, vistrel::identity::organisation(),
                    vistrel::identity::productName());
    std::unique_ptr<vistrel::MainWindow> window;
    // The splash's Continue loads the main window while the splash is still shown.
    vistrel::Main([&]() -> QWidget * {
        window = std::make_unique<vistrel::MainWindow>(&store);
        window->Form_Load();
        return window.get();
    });
    return QApplication::exec();
}
