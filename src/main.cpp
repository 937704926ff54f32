#include "app/accessibility.h"
#include "app/commandline.h"
#include "app/programrun.h"
#include "app/settings.h"
#include "common/identity.h"
#include "common/nativename.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Qt takes its own options from the part before "--"; the rest names what to open.
    vistrel::CommandLine line(argc, argv);
    // Answered before any window or display connection exists.
    switch (line.action()) {
    case vistrel::CommandLine::Action::PrintVersion:
        std::fputs(qPrintable(vistrel::versionOutput()), stdout);
        return 0;
    case vistrel::CommandLine::Action::PrintHelp:
        std::fputs(qPrintable(vistrel::helpOutput()), stdout);
        return 0;
    case vistrel::CommandLine::Action::Run:
        break;
    }
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
    // Only the file's place is settled here: it is read when the main window loads.
    // The path asked for is looked at off the window's thread, as the settings are read.
    const std::vector<QByteArray> arguments = line.arguments();
    vistrel::ProgramRun run(
        vistrel::userSettingsFile(),
        [arguments] { return vistrel::resolveFirstArgument(arguments); },
        arguments.empty() ? QString() : vistrel::fromNative(arguments.front()));
    run.start();
    return QApplication::exec();
}
