#include "app/accessibility.h"
#include "app/identity.h"
#include "app/programrun.h"

#include <QApplication>
#include <QSettings>

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
    vistrel::ProgramRun run(&store);
    run.start();
    return QApplication::exec();
}
