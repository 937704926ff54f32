#include "app/accessibility.h"
#include "app/identity.h"
#include "app/programrun.h"
#include "app/settings.h"

#include <QApplication>

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
    // Only the file's place is settled here: it is read when the main window loads.
    vistrel::ProgramRun run(vistrel::userSettingsFile());
    run.start();
    return QApplication::exec();
}
