// Grabs the splash and the About box as a user first sees them, for the README:
// info_screenshots <folder> writes splash.png and about.png there.

#include "info/aboutdialog.h"
#include "info/splashwindow.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    vistrel::SplashWindow splash({});
    splash.show();
    if (!QTest::qWaitForWindowExposed(&splash))
        return 1;
    if (!splash.grab().save(out.filePath(QStringLiteral("splash.png"))))
        return 1;
    splash.hide();

    vistrel::AboutDialog about;
    about.show();
    if (!QTest::qWaitForWindowExposed(&about))
        return 1;
    return about.grab().save(out.filePath(QStringLiteral("about.png"))) ? 0 : 1;
}
