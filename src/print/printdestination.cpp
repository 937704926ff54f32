#include "print/printdestination.h"

#include "viewer/shownfile.h"

#include <QLocale>

namespace vistrel {

QPageSize localePaper()
{
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                         ? QPageSize::Letter
                         : QPageSize::A4);
}

PrintablePicture takePrintable(const QString &label, const ShownFile *shown,
                               const PrintablePicture &previous)
{
    PrintablePicture now;
    now.label = label;
    if (!shown)
        return now;
    now.serial = shown->serial();
    if (previous.serial == now.serial) {
        now.image = previous.image;
        now.note = previous.note;
        return now; // read before, or still being read
    }
    now.image = shown->shownPicture();
    now.fullRead = [read = shown->fullResolutionReader()] {
        const ShownFile::Picture picture = read();
        return FullPicture{picture.image, picture.note};
    };
    return now;
}

} // namespace vistrel
