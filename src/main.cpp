#include "app/identity.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(vistrel::identity::productName());
    QApplication::setOrganizationName(vistrel::identity::organisation());
    QApplication::setApplicationVersion(QStringLiteral("1.0.10"));
    return QApplication::exec();
}
