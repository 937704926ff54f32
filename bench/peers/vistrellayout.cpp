// Prints what the peers benchmark needs to drive Vistrel as a user would, read from the real
// windows under the running X server (so fonts and style are those of the timed runs):
//   MAINWIDTH MAINHEIGHT  stored window size in twips that gives a viewing area of W x H pixels
//   LISTX LISTY           a point on the first row of the picture list, in window pixels
//   CONTX CONTY           the centre of the splash's Continue button, in splash pixels
//   PAGEX PAGEY           a point near the right end of the horizontal scroll bar's trough (a
//                         click there pages right), in window pixels
//   AREAX AREAY           the viewing area's top-left corner, in window pixels
//   WINDOWCOLOUR          the viewing area's window colour, as RRGGBB
//   bench_vistrellayout W H

#include "app/mainwindow.h"
#include "info/splashwindow.h"

#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace vistrel;

namespace {

// The viewing area of a window stored at this size, in pixels.
QSize viewingArea(double width, double height, QPoint *listRow, QPoint *pageRight = nullptr,
                  QPoint *areaAt = nullptr, unsigned *colour = nullptr)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("v.ini"));
    {
        QSettings store(ini, QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/MainWidth"), width);
        store.setValue(QStringLiteral("Settings/MainHeight"), height);
    }
    MainWindow window(ini);
    window.Form_Load();
    window.show();
    QApplication::processEvents();
    const auto *area = window.findChild<QWidget *>(QStringLiteral("picContainer"));
    const auto *list = window.findChild<QListView *>(QStringLiteral("SortedList"));
    if (listRow)
        *listRow = list->mapTo(&window, QPoint(list->width() / 3, 8));
    // The bar is laid out where it shows; its arrow buttons are at most as wide as it is high.
    const auto *bar = window.findChild<QWidget *>(QStringLiteral("HScroll1"));
    if (pageRight && bar)
        *pageRight =
            bar->mapTo(&window, QPoint(bar->width() - 3 * bar->height(), bar->height() / 2));
    if (areaAt)
        *areaAt = area->mapTo(&window, QPoint(0, 0));
    if (colour)
        *colour = area->palette().window().color().rgb() & 0xFFFFFFu;
    return area->size();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int wantW = argc > 2 ? std::atoi(argv[1]) : 1000;
    const int wantH = argc > 2 ? std::atoi(argv[2]) : 700;
    // The viewing area grows twip for twip with the window: one probe gives the size.
    const double probeW = 18000, probeH = 13000;
    const QSize probe = viewingArea(probeW, probeH, nullptr);
    const double width = probeW + (wantW - probe.width()) * 15.0;
    const double height = probeH + (wantH - probe.height()) * 15.0;
    QPoint listRow, pageRight, areaAt;
    unsigned colour = 0;
    const QSize got = viewingArea(width, height, &listRow, &pageRight, &areaAt, &colour);

    SplashWindow splash({});
    splash.show();
    QApplication::processEvents();
    const QPushButton *button = splash.screen().btnCont;
    const QPoint cont = button->mapTo(&splash, button->rect().center());
    std::printf("%.0f %.0f %d %d %d %d %d %d %d %d %06x\n", width, height, listRow.x(), listRow.y(),
                cont.x(), cont.y(), pageRight.x(), pageRight.y(), areaAt.x(), areaAt.y(), colour);
    return got == QSize(wantW, wantH) ? 0 : 3;
}
