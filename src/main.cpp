#include "app/accessibility.h"
#include "app/commandline.h"
#include "app/identity.h"
#include "app/programrun.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Qt takes its own options from the part before "--"; the rest names what to open.
    vistrel::CommandLine line(argc, argv);
    QApplication app(line.qtArgc(), line.qtArgv());
    QApplication::setApplicationName(vistrel::identity::productName());
    QApplication::setOrganizationName(vistrel::identity::organisation());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(vistrel::identity::major)
                                            .arg(vistrel::identity::minor)
                                            .arg(vistrel::identity::revision));
    QGuiApplication::setDesktopFileName(vistrel::identity::desktopFileName());
    QApplication::setWindowIcon(vistrel::identity::windowIcon());
    vistrel::installAccessibleInterfaces();
    const QString note = line.ignoredNote();
    if (!note.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(note));
    QSettings store(QSettings::IniFormat, QSettings::UserScope, vistrel::identity::organisation(),
                    vistrel::identity::productName());
    vistrel::ProgramRun run(&store, line.openRequest());
    run.start();
    return QApplication::exec();
}
